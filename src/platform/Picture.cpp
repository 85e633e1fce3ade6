#include "platform/Picture.h"

#include "platform/App.h"
#include "platform/Handle.h"

#include <cstring>

namespace varno::win {

Picture Picture::FromResource(int id) {
    HRSRC res = FindResourceW(Instance(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /*RT_RCDATA*/);
    if (!res)
        return {};
    HGLOBAL loaded = LoadResource(Instance(), res);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return {};
    return FromBytes(data, SizeofResource(Instance(), res));
}

Picture Picture::FromBytes(const void* data, size_t size) {
    Picture p;
    if (!data || size == 0)
        return p;
    UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block)
        return p;
    {
        const LockedGlobal dest(block.Get());
        if (!dest.Get())
            return p;
        std::memcpy(dest.Get(), data, size);
    }
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(block.Get(), TRUE, stream.Put())))
        return p;
    (void)block.Detach(); // the stream frees it
    OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                   p.picture_.PutVoid());
    return p;
}

void Picture::Draw(HDC dc, const RECT& rect) const {
    if (!picture_)
        return;
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    picture_->get_Width(&w);
    picture_->get_Height(&h);
    // The source rectangle runs bottom-up in HIMETRIC units.
    picture_->Render(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0, h,
                     w, -h, nullptr);
}

} // namespace varno::win
