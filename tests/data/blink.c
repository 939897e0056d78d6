/*
 * blink.c - a small LPC932A1 firmware used as a test fixture.
 *
 * It drives a LED on P1.4 with a software PWM whose duty follows a sine
 * table (a "breathing" LED), and shows a 4-bit step pattern on P2.0..P2.3.
 * The tables are placed at a fixed address above the code, so the image has
 * an untouched gap of several flash pages between the code and the tables:
 * the loader tests use it to check that pages holding no data are left out.
 *
 * Build (what make-fixtures.sh runs):
 *   sdcc -mmcs51 --code-size 0x1E00 -o blink.ihx blink.c
 *
 * Plain SDCC C, no vendor header: the few SFRs it uses are declared below.
 */

#include <stdint.h>

__sfr __at(0x90) P1;
__sfr __at(0x91) P1M1;
__sfr __at(0x92) P1M2;
__sfr __at(0xA0) P2;
__sfr __at(0xA4) P2M1;
__sfr __at(0xA5) P2M2;
__sfr __at(0x89) TMOD;
__sfr __at(0x88) TCON;
__sfr __at(0x8C) TH0;
__sfr __at(0x8A) TL0;
__sfr __at(0xA8) IEN0;
__sfr __at(0xC1) WDCON;
__sfr __at(0xC2) WDL;
__sfr __at(0xC3) WFEED1;
__sfr __at(0xC4) WFEED2;

__sbit __at(0x94) LED;    /* P1.4 */
__sbit __at(0x8C) TR0;    /* TCON.4 */
__sbit __at(0x8D) TF0;    /* TCON.5 */

#define TABLE_ADDR 0x0400

/* One period of a sine, offset and scaled to 0..255: the PWM duty. */
__code const uint8_t __at(TABLE_ADDR) sine[64] = {
    128, 140, 152, 165, 176, 188, 198, 208, 218, 226, 234, 240, 245, 250, 253, 254,
    255, 254, 253, 250, 245, 240, 234, 226, 218, 208, 198, 188, 176, 165, 152, 140,
    128, 115, 103,  90,  79,  67,  57,  47,  37,  29,  21,  15,  10,   5,   2,   1,
      0,   1,   2,   5,  10,  15,  21,  29,  37,  47,  57,  67,  79,  90, 103, 115,
};

/* Step pattern shown on P2.0..P2.3, one step per sine period. */
__code const uint8_t __at(TABLE_ADDR + 64) steps[16] = {
    0x01, 0x03, 0x07, 0x0F, 0x0E, 0x0C, 0x08, 0x00,
    0x08, 0x0C, 0x0E, 0x0F, 0x07, 0x03, 0x01, 0x00,
};

static volatile uint8_t ticks;

/* Timer 0, mode 2 (8-bit auto-reload): one tick per 256 machine cycles. */
void timer0_isr(void) __interrupt(1)
{
    ticks++;
}

static void feed_watchdog(void)
{
    IEN0 &= 0x7F;          /* the feed sequence must not be interrupted */
    WFEED1 = 0xA5;
    WFEED2 = 0x5A;
    IEN0 |= 0x80;
}

static void wait_ticks(uint8_t n)
{
    uint8_t start = ticks;
    while ((uint8_t)(ticks - start) < n)
        ;
}

/* Software PWM: 'frames' frames of 256 steps, LED on for 'duty' of them. */
static void pwm(uint8_t duty, uint8_t frames)
{
    uint8_t f;
    uint8_t s;

    for (f = 0; f < frames; f++) {
        s = 0;
        do {
            LED = (s < duty) ? 0 : 1;    /* LED to VDD: low is on */
        } while (++s != 0);
        feed_watchdog();
    }
}

static void ports_init(void)
{
    /* P1.4 push-pull, P2.0..P2.3 push-pull, the rest left quasi-bidirectional */
    P1M1 &= (uint8_t)~0x10;
    P1M2 |= 0x10;
    P2M1 &= (uint8_t)~0x0F;
    P2M2 |= 0x0F;
    LED = 1;
    P2 = (P2 & 0xF0);
}

static void timer_init(void)
{
    TMOD = (TMOD & 0xF0) | 0x02;
    TH0 = 0x00;
    TL0 = 0x00;
    TR0 = 1;
    IEN0 |= 0x82;          /* EA and ET0 */
}

void main(void)
{
    uint8_t i;
    uint8_t step = 0;

    WDL = 0xFF;
    WDCON = 0xE5;          /* longest prescale, watchdog running */
    feed_watchdog();

    ports_init();
    timer_init();

    for (;;) {
        for (i = 0; i < sizeof sine; i++)
            pwm(sine[i], 2);

        P2 = (P2 & 0xF0) | steps[step];
        step = (step + 1) & 0x0F;
        wait_ticks(100);
        feed_watchdog();
    }
}
