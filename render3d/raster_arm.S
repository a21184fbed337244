@ The texture fill's row loop for ARM cores (the handheld's ARM920T): the rows of a triangle
@ part between a left and a right edge that stay inside the frame's columns and never cross,
@ as the portable fill_inside_rows in raster.cpp draws them with the 64 x 64 texture rule,
@ pixel for pixel, with fewer live values than the compiler manages to keep in registers there.
@ Only ARMv4T instructions, so that the build fails here rather than on the handheld.
@
@ It takes one argument, the InsideRows record (raster.cpp) of its part, whose state it uses
@ as scratch. Offsets below are that record's, checked there by static_asserts, as is the
@ frame's pitch. Per row: first = x_left >> 8, width = (x_right >> 8) - first (0..319; 0 fills
@ nothing), the span slope = slope(across, reciprocal[width]) of raster_internal.hpp, and pixel
@ first + j takes left + (j + 1) * slope; then every edge value moves by its slope.

        .syntax unified
        .arch   armv4t
        .arm
        .text

@ InsideRows<2>: the fill from a 64 x 64 texture by u and v (texel row = bits 10..15 of v,
@ column = bits 10..15 of u). In the pixel loop u and v are held shifted left by 16, their
@ texel bits on top.
        .equ    R2_LEFT, 0              @ u, v
        .equ    R2_ACROSS, 8            @ u, v
        .equ    R2_X_LEFT, 16
        .equ    R2_X_RIGHT, 20
        .equ    R2_SLOPES, 24           @ left u, v; across u, v; x_left; x_right
        .equ    R2_ROW, 48
        .equ    R2_ROWS, 52
        .equ    R2_COLOURS, 56
        .equ    R2_RECIPROCALS, 60
        .equ    FRAME_PITCH, 640        @ bytes from one frame row to the next

@ One pixel: the texel at u and v (r6, r7, shifted left by 16; lr holds 0x1F80) from the texels
@ at r12 into the frame at r0, then u and v move by their slopes (r8, r9).
        .macro  light_map_pixel
        and     r2, lr, r7, lsr #19             @ texel row * 128
        mov     r3, r6, lsr #26                 @ texel column
        add     r2, r2, r3, lsl #1
        ldrh    r2, [r12, r2]
        add     r6, r6, r8
        add     r7, r7, r9
        strh    r2, [r0], #2
        .endm

@ void fill_inside_rows_light_map_arm(InsideRows<2>* rows)
@ Across rows: r4 x_left, r5 x_right, r6/r7 left u/v, r8/r9 across u/v, r10 row, r11 record;
@ the end row is kept in the record's row count. Left and across are parked in the record
@ while a span is filled with r6/r7 u/v, r8/r9 their slopes, r12 texels, lr the row mask.
        .global fill_inside_rows_light_map_arm
        .type   fill_inside_rows_light_map_arm, %function
        .align  2
fill_inside_rows_light_map_arm:
        push    {r4-r11, lr}
        mov     r11, r0
        ldmia   r11, {r6-r9}
        ldr     r4, [r11, #R2_X_LEFT]
        ldr     r5, [r11, #R2_X_RIGHT]
        ldr     r10, [r11, #R2_ROW]
        ldr     r0, [r11, #R2_ROWS]
        mov     r1, #FRAME_PITCH
        mla     r0, r1, r0, r10
        str     r0, [r11, #R2_ROWS]             @ the row after the last
.Llight_row:
        mov     r0, r4, asr #8                  @ first
        rsbs    r1, r0, r5, asr #8              @ width
        ble     .Llight_step
        ldr     r2, [r11, #R2_RECIPROCALS]
        add     r0, r10, r0, lsl #1             @ the span's first pixel
        ldr     r2, [r2, r1, lsl #2]
        mul     r3, r8, r2
        mul     r12, r9, r2
        stmia   r11, {r6-r9}
        mov     r8, r3, asr #16
        mov     r8, r8, lsl #16                 @ u slope << 16
        add     r6, r8, r6, lsl #16             @ u of the first pixel << 16
        mov     r9, r12, asr #16
        mov     r9, r9, lsl #16                 @ v slope << 16
        add     r7, r9, r7, lsl #16             @ v of the first pixel << 16
        ldr     r12, [r11, #R2_COLOURS]
        mov     lr, #0x1F80
        tst     r1, #1                          @ an odd count starts at the pair's second
        addne   r1, r1, #1
        bne     .Llight_second
.Llight_pair:
        light_map_pixel
.Llight_second:
        light_map_pixel
        subs    r1, r1, #2
        bne     .Llight_pair
.Llight_done:
        ldmia   r11, {r6-r9}
.Llight_step:
        add     r12, r11, #R2_SLOPES
        ldmia   r12, {r0-r3, r12, lr}
        add     r6, r6, r0
        add     r7, r7, r1
        add     r8, r8, r2
        add     r9, r9, r3
        add     r4, r4, r12
        add     r5, r5, lr
        ldr     r0, [r11, #R2_ROWS]
        add     r10, r10, #FRAME_PITCH
        cmp     r10, r0
        bne     .Llight_row
        pop     {r4-r11, lr}
        bx      lr
        .size   fill_inside_rows_light_map_arm, . - fill_inside_rows_light_map_arm

        .section .note.GNU-stack, "", %progbits
