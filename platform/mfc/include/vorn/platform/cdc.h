// SPDX-License-Identifier: MIT
// A device-context class in place of MFC's CDC, for builds without MFC.
//
// It carries what vorn/gdi.h reads from a CDC (the handle m_hDC and
// IsPrinting) and the ownership rules of MFC's class: a context attached
// with Attach is deleted with the object unless Detach takes it back. On
// Windows it wraps real GDI handles, elsewhere those of the in-memory GDI.
// Defining VORN_USE_MFC (CMake option VORN_WITH_MFC) uses MFC's own CDC
// instead.
//
// A printer context for tests: any context with m_bPrinting set to TRUE
// (MFC sets it for contexts it prints or previews on), for example
//
//     CDC printer;
//     printer.Attach(CreateCompatibleDC(nullptr));
//     printer.m_bPrinting = TRUE;
#ifndef VORN_PLATFORM_CDC_H
#define VORN_PLATFORM_CDC_H

#if defined(_WIN32)
#include <windows.h>
#else
#include <vorn/platform/gdi.h>
#endif

class CDC {
public:
    HDC m_hDC = nullptr;       ///< the context, or null
    HDC m_hAttribDC = nullptr; ///< the context attributes are read from (the same here)
    BOOL m_bPrinting = FALSE;  ///< TRUE for a context that prints

    CDC() = default;
    /// Deletes an attached context.
    virtual ~CDC() {
        if (m_hDC != nullptr) {
            DeleteDC(Detach());
        }
    }
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    /// Takes ownership of a context; FALSE for a null handle or when one is
    /// already attached.
    BOOL Attach(HDC hdc) {
        if (hdc == nullptr || m_hDC != nullptr) {
            return FALSE;
        }
        m_hDC = hdc;
        m_hAttribDC = hdc;
        return TRUE;
    }
    /// Gives the context back to the caller without deleting it.
    HDC Detach() {
        HDC hdc = m_hDC;
        m_hDC = nullptr;
        m_hAttribDC = nullptr;
        return hdc;
    }
    /// The context, or null.
    HDC GetSafeHdc() const { return m_hDC; }
    /// TRUE for a printer context.
    BOOL IsPrinting() const { return m_bPrinting; }
};

#endif
