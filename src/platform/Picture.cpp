#include "platform/Picture.h"

#include "platform/App.h"

#include <cstring>
#include <utility>

namespace varno::win {

namespace {
// Owns a movable global memory block until a stream takes it over.
class GlobalBlock {
  public:
    explicit GlobalBlock(size_t size) : h_(GlobalAlloc(GMEM_MOVEABLE, size)) {}
    ~GlobalBlock() {
        if (h_)
            GlobalFree(h_);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    HGLOBAL Get() const { return h_; }
    HGLOBAL Release() { return std::exchange(h_, nullptr); }

  private:
    HGLOBAL h_;
};
} // namespace

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
    GlobalBlock block(size);
    if (!block.Get())
        return p;
    void* dest = GlobalLock(block.Get());
    if (!dest)
        return p;
    std::memcpy(dest, data, size);
    GlobalUnlock(block.Get());
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(block.Get(), TRUE, stream.Put())))
        return p;
    block.Release(); // the stream frees it
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
