// The handle of the loaded library: the module instance on Windows, the load
// address of the shared object elsewhere. Unique to each loaded copy of the
// library; the GUI finds its bitmaps and names its window class with it.
#pragma once

extern void* moduleInstance;
