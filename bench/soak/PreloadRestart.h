#pragma once

// The emulated bus is only seen through umockdev's preload library, by the process that builds it
// as by the libusb inside it. Without the library in LD_PRELOAD, the program starts itself again
// with it (the same arguments); returns only when the library is already loaded.
void restartWithUmockdevPreload(char** argv);
