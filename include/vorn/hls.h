// SPDX-License-Identifier: MIT
/// \file
/// Vorn raster drawing library: the hue, lightness, saturation colour model.
///
/// Hue, lightness and saturation run from 0 to 240: hue 0 red, 40 yellow,
/// 80 green, 120 cyan, 160 blue, 200 magenta (and 160 for every grey);
/// lightness 0 black to 240 white; saturation 0 grey to 240 full. All
/// arithmetic is integer, so a round trip may move a channel by a few units.
/// Both functions are pure and safe from any thread.
#ifndef VORN_HLS_H
#define VORN_HLS_H

#include <vorn/buffer.h>
#include <vorn/export.h>

/// Converts a pixel to hue, lightness and saturation; alpha is copied.
VORN_API _VORNHLSAQUAD RGBtoHLS(_VORNRGBAQUAD colour);

/// Converts hue, lightness and saturation back to a pixel; alpha is copied.
/// Components above 240 lie outside the model.
VORN_API _VORNRGBAQUAD HLStoRGB(_VORNHLSAQUAD colour);

#endif
