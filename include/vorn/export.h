// SPDX-License-Identifier: MIT
/// \file
/// Vorn raster drawing library: the export macro.
///
/// VORN_API marks the classes and free functions that make up the library's
/// binary interface. Everything else is hidden: on Windows by default, and
/// elsewhere because the library is compiled with hidden visibility.
///
/// - Building the library as a DLL defines VORN_BUILDING (dllexport).
/// - Building or linking it statically defines VORN_STATIC (no decoration on
///   Windows); the CMake package adds that definition for users of a static
///   build. Elsewhere the interface keeps default visibility in a static
///   build too, so that the archive can make everything else local.
/// - Otherwise a Windows user of the DLL gets dllimport.
///
/// \def VORN_API
/// Marks a class or free function of the library's binary interface, as
/// described above.
#ifndef VORN_EXPORT_H
#define VORN_EXPORT_H

#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(VORN_STATIC)
#define VORN_API
#elif defined(VORN_BUILDING)
#define VORN_API __declspec(dllexport)
#else
#define VORN_API __declspec(dllimport)
#endif
#else
#define VORN_API __attribute__((visibility("default")))
#endif

#endif
