# /save=disk and /restore=disk of the whole image against dd. The restore
# makes sure its sectors are on the disk before it ends (it flushes), so dd
# is asked to do the same.
case_ save-disk 1.05 dd if=disk.img of=dd.bin bs=1M -- /save=disk /filename=saved.bin /nohdr
case_ restore-disk 1.05 dd if=saved.bin of=disk.img bs=1M conv=notrunc,fsync -- /restore=disk /filename=saved.bin /confirm
