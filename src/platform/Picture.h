#pragma once
// A picture (JPEG, GIF, BMP, ICO) loaded from the program's resources
// through OleLoadPicture and drawn stretched, like an image control.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "platform/Com.h"

namespace varno::win {

class Picture {
  public:
    Picture() = default;
    // An RCDATA resource of the executable; empty when missing or not a picture.
    static Picture FromResource(int id);
    // The picture's bytes as they are in a file.
    static Picture FromBytes(const void* data, size_t size);

    explicit operator bool() const { return static_cast<bool>(picture_); }
    // Draws the whole picture stretched over rect.
    void Draw(HDC dc, const RECT& rect) const;

  private:
    ComPtr<IPicture> picture_;
};

} // namespace varno::win
