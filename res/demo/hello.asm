; A tiny DOS program of Marlit's demo, started with DOSBox from the "Computer" tab: it greets,
; waits for a key and ends, and DOSBox, given -exit after the program, ends with it.
;
;   nasm -f bin -o HELLO.COM hello.asm
;
; Assembled with -DLEAVE_MARK it first writes MARLIT.TXT beside itself, so that a test can tell
; from outside that it ran.

        cpu     8086
        org     100h                    ; a .COM program starts at offset 100h of its segment

start:
        mov     ax, 0003h               ; BIOS: 80 x 25 text mode, which also clears the screen
        int     10h
        mov     dx, greeting            ; DOS: print the text up to "$"
        mov     ah, 09h
        int     21h

%ifdef LEAVE_MARK
        mov     dx, markName            ; DOS: create the file (CX = attributes, none)
        xor     cx, cx
        mov     ah, 3Ch
        int     21h
        jc      waitForKey              ; carry set: it could not be created
        mov     bx, ax                  ; the file's handle
        mov     dx, markText            ; DOS: write CX bytes from DS:DX
        mov     cx, markLength
        mov     ah, 40h
        int     21h
        mov     ah, 3Eh                 ; DOS: close the handle
        int     21h
%endif

waitForKey:
        xor     ah, ah                  ; BIOS: wait for a key press
        int     16h
        mov     ax, 4C00h               ; DOS: end with status 0
        int     21h

greeting:
        db      13, 10
        db      "  Hello from Marlit!", 13, 10, 13, 10
        db      "  This little DOS program was started by Marlit with DOSBox,", 13, 10
        db      "  a real emulator. Its source is res/demo/hello.asm.", 13, 10, 13, 10
        db      "  Press any key to end it; DOSBox closes with it.", 13, 10, "$"

%ifdef LEAVE_MARK
markName:
        db      "MARLIT.TXT", 0
markText:
        db      "Started by Marlit", 13, 10
markLength equ $ - markText
%endif
