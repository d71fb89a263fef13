// SPDX-License-Identifier: MIT
// The library's version at run time. The build checks that
// VORN_VERSION_STRING spells the three version numbers.

#include <vorn/version.h>

const char* vornVersion() {
    return VORN_VERSION_STRING;
}
