// Numbers of the resources compiled into trelvo.exe (read by the resource compiler too, so
// nothing but #defines here).
#pragma once

#define TRELVO_IDI_PROGRAM 1
#define TRELVO_IDC_HAND 101
#define TRELVO_IDR_LOGO 201
#define TRELVO_IDR_HELP 202
#define TRELVO_IDR_DISCLAIMER 203
