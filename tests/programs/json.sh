#!/usr/bin/env bash
# /json through the built program of one target (see lib.bash): the document
# parses, and what it says of images that sfdisk, sgdisk and qemu-img made
# agrees with `sfdisk --json` and `sgdisk -i` (starts, sizes, types, GUIDs,
# names, attributes, flags); its exact bytes for a small disk and for runs
# that fail; the exit codes are those of the same runs without /json.
#
# usage: json.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"
cd "$work"

for tool in sfdisk sgdisk qemu-img python3; do command -v $tool >/dev/null || skip "$tool is not installed"; done

truncate -s 200M mbr.img
printf 'label: dos\nlabel-id: 0x1a2b3c4d\nstart=2048, size=102400, type=7, bootable
start=104448, size=40960, type=c\nstart=145408, size=200000, type=f\nstart=147456, size=20480, type=83
start=169984, size=30000, type=82\n' | sfdisk -q mbr.img || { echo "FAIL: sfdisk could not write mbr.img"; exit 1; }
# Names with a quotation mark, a reverse solidus and control characters, and
# beyond ASCII; hidden (bit 62) and legacy-bootable (bit 2) attributes; a
# type the program does not name.
name1=$'q"uo\\te\x01\tx'
name2='données 数据 😀'
truncate -s 64M gpt.img
sgdisk -U 11223344-5566-7788-99AA-BBCCDDEEFF00 -n1:2048:+1M -t1:ef00 -c1:"$name1" -n2:0:+2M -t2:0700 \
    -c2:"$name2" -A2:set:2 -A2:set:62 -n3:0:+4M -t3:8300 gpt.img >/dev/null ||
    { echo "FAIL: sgdisk could not write gpt.img"; exit 1; }
truncate -s 64M raw.img
printf 'label: dos\nstart=2048, size=8192, type=c\nstart=10240, size=4096, type=83\n' | sfdisk -q raw.img
qemu-img convert -O vmdk raw.img vm.vmdk || { echo "FAIL: qemu-img could not make vm.vmdk"; exit 1; }
# An extended chain that links back to its own EBR: a corrupt table.
truncate -s 8M loop.img
table loop.img 0 "$(entry 0 0x0f 2048 8192)"
table loop.img 2048 "$(entry 0 0x83 63 100)" "$(entry 0 5 0 100)"

# agree <label> <disk index in the document> <image>: that disk's partitions
# are the partitions `sfdisk --json` reads from the image, and on GPT carry
# the attributes `sgdisk -i` shows.
agree() {
    python3 -m json.tool "$work/out" >/dev/null || { fail "$1: the output is no JSON document"; return; }
    sfdisk --json "$3" >peer.json
    : >attributes
    if grep -q '"label": "gpt"' peer.json; then
        for n in $(sfdisk --dump "$3" | sed -n "s|^$3\([0-9]*\) :.*|\1|p"); do
            echo "$n $(sgdisk -i "$n" "$3" | awk '/^Attribute flags/ { print $3 }')" >>attributes
        done
    fi
    python3 - "$work/out" "$2" peer.json attributes <<'EOF' || fail "$1: disagrees with sfdisk and sgdisk"
import json, sys
doc = json.load(open(sys.argv[1]))
disk = doc["disks"][int(sys.argv[2])]
peer = json.load(open(sys.argv[3]))["partitiontable"]
attributes = dict(map(lambda l: (int(l.split()[0]), int(l.split()[1], 16)), open(sys.argv[4])))
gpt = peer["label"] == "gpt"
problems = []
def same(what, mine, theirs):
    if mine != theirs: problems.append(f"{what}: {mine!r}, the peer says {theirs!r}")
same("table", disk["table"], "GPT" if gpt else "MBR")
same("disk id", disk["diskGuid"] if gpt else disk["diskSignature"].lower(), peer["id"])
same("sectors", disk["sectors"] * 512, disk["bytes"])
mine = {(p["primary"], p["slot"] if p["primary"] else p["number"]): p for p in disk["partitions"]}
for q in peer["partitions"]:
    n = int(q["node"][len(peer["device"]):])
    p = mine.pop((True, n) if gpt or n <= 4 else (False, n - 4), None)
    if p is None:
        problems.append(f"partition {n} is missing"); continue
    same(f"{n} start", p["start"], q["start"])
    same(f"{n} sectors", p["sectors"], q["size"])
    same(f"{n} bytes", p["bytes"], q["size"] * 512)
    if gpt:
        same(f"{n} type", p["typeGuid"], q["type"])
        same(f"{n} unique GUID", p["uniqueGuid"], q["uuid"])
        same(f"{n} name", p["name"], q.get("name"))
        same(f"{n} attributes", p["attributes"], attributes[n])
        same(f"{n} active", p["active"], attributes[n] & 4 != 0)
        same(f"{n} hidden", p["hidden"], attributes[n] >> 62 & 1 != 0)
    else:
        same(f"{n} type", p["typeByte"], int(q["type"], 16))
        same(f"{n} active", p["active"], q.get("bootable", False))
problems += [f"partition {p['number']} is not the peer's" for p in mine.values()]
if problems: print("\n".join(problems))
sys.exit(1 if problems else 0)
EOF
}

images mbr.img gpt.img loop.img
check "/list /json" 0 - /list /json /freespace
agree "/list /json of an sfdisk disk" 0 mbr.img
agree "/list /json of an sgdisk disk" 1 gpt.img
# What the peers do not show: every disk is there, names round-trip, a
# corrupt table is listed as such, and the free regions lie between the
# partitions.
python3 - "$work/out" "$name1" "$name2" <<'EOF' || fail "/list /json: disks, names, validity or free space"
import json, sys
disks = json.load(open(sys.argv[1]))["disks"]
assert [d["number"] for d in disks] == [0, 1, 2]
assert [p["name"] for p in disks[1]["partitions"]] == [sys.argv[2], sys.argv[3], None]
assert [p["number"] for p in disks[1]["partitions"]] == [1, 2, None]
assert [d["tableValid"] for d in disks] == [True, True, False]
assert [(r["start"], r["sectors"]) for r in disks[0]["freeSpace"]] == [(63, 1985), (345408, 64192)]
assert [(r["start"], r["sectors"]) for r in disks[1]["freeSpace"]] == [(34, 2014), (16384, 114655)]
EOF
cp out list.json
check "/info /json: the same disks" 0 "$(cat list.json)"$'\n' /info /json /freespace
check "/tablist /json /disk=1" 0 - /tablist /json /disk=1
agree "/tablist /json of an sgdisk disk" 0 gpt.img
check "/list /json of a virtual disk" 0 - /list /json /disk=vm.vmdk
agree "/list /json of a qemu-img disk" 0 raw.img

# The exit code is the run's without /json; the error is in the document.
check "/list /json of the corrupt disk" 513 '{
  "disks": [],
  "error": {
    "code": 513,
    "text": "Partition table is corrupt"
  }
}
' /list /json /disk=2
check "/json /result of a disk that is not there" 511 '{
  "disks": [],
  "error": {
    "code": 511,
    "text": "Invalid Disk selected"
  },
  "result": 511
}
' /list /disk=7 /json /result
# Any other command, or none, is refused before it reads or writes.
refused='{
  "disks": [],
  "error": {
    "code": 105,
    "text": "Invalid or incomplete switch: /JSON"
  }
}
'
check "/json with /hide" 105 "$refused" /JSON /hide /part=1 /confirm
check "/json alone" 105 "$refused" /JSON

# A whole document, for a disk small enough to read.
truncate -s 4M small.img
table small.img 0 "$(entry 0x80 0x0c 2048 4096)"
put small.img 440 '\x4d\x3c\x2b\x1a'
images small.img
check "the document of a small disk" 0 '{
  "disks": [
    {
      "number": 0,
      "virtual": false,
      "error": null,
      "sectors": 8192,
      "bytes": 4194304,
      "sectorSize": 512,
      "geometry": {
        "cylinders": 0,
        "heads": 255,
        "sectorsPerTrack": 63
      },
      "mediaType": "Fixed",
      "interface": "File",
      "description": "small.img",
      "table": "MBR",
      "tableValid": true,
      "diskSignature": "0x1A2B3C4D",
      "partitions": [
        {
          "number": 1,
          "slot": 1,
          "primary": true,
          "typeByte": 12,
          "typeName": "32Bit Fat, LBA Mapped",
          "start": 2048,
          "sectors": 4096,
          "bytes": 2097152,
          "active": true,
          "hidden": false,
          "driveLetter": null,
          "label": null,
          "filesystem": null
        }
      ],
      "freeSpace": [
        {
          "start": 63,
          "sectors": 1985,
          "bytes": 1016320
        },
        {
          "start": 6144,
          "sectors": 2048,
          "bytes": 1048576
        }
      ]
    }
  ],
  "error": null
}
' /list /json /freespace

finish
