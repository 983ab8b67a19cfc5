; Boot code image 2, "Win7": reads the active partition's boot record through
; the INT 13h extensions whenever the BIOS has them, by CHS otherwise.
%define LBA_FIRST 1
%include "loader.inc"
