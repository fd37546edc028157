#pragma once
// libVorloM16Updater.so: the stand-in for the instrument maker's M16 updater
// library. It exports seven C functions under their plain names (below) and,
// for callers that look them up the way the Windows library is used, under
// the decorated names "?M16Upd_Init@@YAHH@Z" and so on (see decorate.cpp).
//
// The calling order the updater uses: Init(COM number), IsBTLActive (once
// more after 200 ms when it says 0), Clear, Program(file, 0, progress),
// MakeValid, ExitAndStartApplication, and Deinit on every way out. Every
// function returns nonzero on success. Init finds COM n as the n-th path of
// UPDATER_PORTS and opens it at 38400 bit/s 8N1; Program reads a Motorola
// S-record file, writes it, reads every piece back and reports 0 to 100 %.
// The file name is a zero-terminated wchar_t text (32-bit units on Linux);
// units above 0x7F are taken as the Unicode characters U+0080 ... and looked
// up as UTF-8. Not thread-safe: one caller thread at a time.
extern "C" {
int M16Upd_Init(int com);
int M16Upd_IsBTLActive();
int M16Upd_Clear();
int M16Upd_Program(const wchar_t* file, int reserved, void (*progress)(int percent));
int M16Upd_MakeValid();
int M16Upd_ExitAndStartApplication();
int M16Upd_Deinit();
}
