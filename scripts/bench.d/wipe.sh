# /wipe=disk of the 1 GiB image against dd writing the same zeros in 1 MiB
# blocks. The program puts what it wrote on the disk before it ends (it
# flushes), so dd is asked to as well (conv=fsync): both are timed to the
# same point. It runs last: it leaves the image zeros.
case_ wipe-disk 1.05 disk.img dd if=/dev/zero of=disk.img bs=1M count=1024 conv=notrunc,fsync status=none -- \
    /wipe=disk /confirm
