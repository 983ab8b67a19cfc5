; A partition boot record for the boot test. It says on QEMU's debug console
; (port 0xE9) what the MBR handed it: its own name, DL, DS:SI and the entry
; DS:SI points at (status byte and first sector). Then it ends the machine
; through the isa-debug-exit device (port 0xF4), with exit status 33.
;
; Bytes 3 to 10 hold the name; the test writes a name of its own there, so
; that it knows which partition was booted.
        cpu     386
        bits    16
        org     0x7C00

start:  jmp     short main
        nop
name:   db      "unnamed "

main:   mov     [cs:entry_dl], dl
        mov     [cs:entry_ds], ds
        mov     [cs:entry_si], si
        mov     al, [si]
        mov     [cs:entry_status], al
        mov     eax, [si + 8]
        mov     [cs:entry_start], eax
        push    cs
        pop     ds

        mov     si, text_booted
        call    text
        mov     si, name
        mov     cx, 8
.name:  lodsb
        out     0xE9, al
        loop    .name
        mov     si, text_dl
        call    text
        mov     al, [entry_dl]
        call    hex8
        mov     si, text_dssi
        call    text
        mov     ax, [entry_ds]
        call    hex16
        mov     al, ':'
        out     0xE9, al
        mov     ax, [entry_si]
        call    hex16
        mov     si, text_status
        call    text
        mov     al, [entry_status]
        call    hex8
        mov     si, text_start
        call    text
        mov     eax, [entry_start]
        call    hex32
        mov     al, 10
        out     0xE9, al

        mov     al, 0x10                ; QEMU ends with (0x10 << 1) | 1
        out     0xF4, al
.stop:  hlt
        jmp     .stop

; The text at SI up to its zero.
text:   lodsb
        test    al, al
        jz      .done
        out     0xE9, al
        jmp     text
.done:  ret

hex32:  push    eax
        shr     eax, 16
        call    hex16
        pop     eax
hex16:  push    ax
        mov     al, ah
        call    hex8
        pop     ax
hex8:   push    ax
        shr     al, 4
        call    .digit
        pop     ax
.digit: and     al, 0x0F
        add     al, '0'
        cmp     al, '9'
        jbe     .out
        add     al, 'a' - '0' - 10
.out:   out     0xE9, al
        ret

text_booted:    db "booted ", 0
text_dl:        db " dl=", 0
text_dssi:      db " ds:si=", 0
text_status:    db " status=", 0
text_start:     db " start=", 0

entry_dl:       db 0
entry_ds:       dw 0
entry_si:       dw 0
entry_status:   db 0
entry_start:    dd 0

        times   510 - ($ - $$) db 0
        dw      0xAA55
