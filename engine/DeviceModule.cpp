// Capture devices and lavfi test sources, in a module of their own: libavdevice
// brings some fifty libraries whose loading cost every conversion a twentieth of a
// second, and only inputs with a forced format can use them.
extern "C" {
#include <libavdevice/avdevice.h>
}

extern "C" __attribute__((visibility("default"))) void MirraRegisterDevices()
{
    avdevice_register_all();
}
