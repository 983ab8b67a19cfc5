# /save=disk against the tools that copy the same bytes: of the sparse
# image against cp, which keeps its holes (the saved file keeps them too);
# of the 1 GiB image against dd writing it 512 bytes into its output, after
# the room a backup header takes. /restore=disk of that file against dd
# reading it from there: the restore makes sure its sectors are on the disk
# before it ends (it flushes), so dd is asked to do the same.
fresh="cp.img saved-sparse.bin dd.bin saved.bin"
case_ save-sparse 2 sparse.img cp --sparse=always sparse.img cp.img -- /save=disk /filename=saved-sparse.bin
case_ save-disk 1.05 disk.img dd if=disk.img of=dd.bin bs=1M oflag=seek_bytes seek=512 status=none -- \
    /save=disk /filename=saved.bin
fresh=""
case_ restore-disk 1.05 disk.img dd if=saved.bin of=disk.img bs=1M iflag=skip_bytes skip=512 conv=notrunc,fsync \
    status=none -- /restore=disk /filename=saved.bin /confirm
