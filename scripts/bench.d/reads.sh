# How many reads /list makes of its disk, counted by strace: of a disk with
# 1,000 logical partitions (one read of sector 0 and one of each EBR, the
# goal being 1,001) and of a GPT of 128 entries holding no partition (the
# protective MBR, and each copy's header and entry array in one read each).
if command -v strace >/dev/null && command -v sgdisk >/dev/null; then
    python3 - <<'IMAGE'
import struct
def entry(kind, start, size):
    return struct.pack('<B3sB3sII', 0, b'\xfe\xff\xff', kind, b'\xfe\xff\xff', start, size)
count, each = 1000, 2048
with open('logical.img', 'wb') as f:
    f.truncate((2048 + count * each) * 512)
    for i in range(count + 1):
        sector = bytearray(512)
        if i == 0:
            sector[446:462] = entry(5, 2048, count * each)
        else:
            sector[446:462] = entry(0x83, 63, each - 63)
            if i < count:
                sector[462:478] = entry(5, i * each, each)
        sector[510:512] = b'\x55\xaa'
        f.seek(0 if i == 0 else (2048 + (i - 1) * each) * 512)
        f.write(sector)
IMAGE
    truncate -s 64M gpt.img
    sgdisk -o gpt.img >/dev/null
    for image in logical.img gpt.img; do
        reads=$(PARTAM_DISKS=$image strace -f -qq -e trace=pread64,read -P "$image" -o reads.out \
            "$program" /list >/dev/null 2>&1; grep -c -E '^[0-9]+ +(pread64|read)\(' reads.out || true)
        printf '%-14s reads of the disk by /list: %s\n' "list-${image%.img}" "$reads"
    done
else
    echo "list reads: skipped (strace or sgdisk is not installed)"
fi
