; Boot code image 1, "XP": reads the active partition's boot record by CHS,
; through the INT 13h extensions only when it starts beyond CHS reach.
%define LBA_FIRST 0
%include "loader.inc"
