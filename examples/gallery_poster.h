// SPDX-License-Identifier: MIT
// The gallery poster, drawn by the gallery example and by `vorn gallery`.
#ifndef VORN_EXAMPLES_GALLERY_POSTER_H
#define VORN_EXAMPLES_GALLERY_POSTER_H

#include <vorn/buffer.h>

#include <string>

/// Draws the poster of everything the library draws into a new buffer,
/// owned by the caller (VornBuffer::Destroy). Its file panel writes two
/// scratch files into `folder` and removes them again.
VornBuffer* drawGalleryPoster(const std::string& folder);

#endif
