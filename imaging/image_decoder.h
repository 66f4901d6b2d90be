// The one entry point the image module exports. The module is opened on first use, so the
// programs neither link nor load the image library unless an image is compared. Plain C types
// only: the module and the programs agree on nothing else.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Asked for room for a decoded picture of width x height pixels, 4 bytes each (red, green,
// blue, alpha, rows from the top); answers null when it cannot give it. May be asked again
// when a first attempt fails after asking: the last buffer given holds the picture.
typedef unsigned char *(*KestaImageReserve)(void *context, uint32_t width, uint32_t height);

// Decodes size bytes of an image file. typeCode is the format the file's extension names
// (1 BMP, 2 GIF, 3 JPEG, 4 PNG, 5 ICO, 8 PCX; anything else: none); that format is tried
// first and every other one after it fails. Answers 0 when a picture was decoded and stored
// through reserve, nonzero when none was. Pictures beyond the module's size limits, and
// damaged or truncated files, are not decoded.
typedef int (*KestaImageDecode)(const unsigned char *data, size_t size, int typeCode,
                                KestaImageReserve reserve, void *context);

#define KESTA_IMAGE_DECODE_SYMBOL "kesta_image_decode_v1"
#define KESTA_IMAGE_MODULE_FILE "kesta_image_gm.so"

#ifdef __cplusplus
}
#endif
