// COM objects of our own behind a system interface: reference counting as COM does it (a new
// object holds one reference; the Release that drops the last one deletes it, and returns the
// count that is left), and no other interface to query.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include <atomic>

namespace plat {

template <class Interface>
class ComObject : public Interface {
public:
    HRESULT QueryInterface(REFIID, void** out) override {
        if (out != nullptr) *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() = default;
    // What goes with the object goes in the destructors of the classes built on this one.
    virtual ~ComObject() = default;

private:
    std::atomic<ULONG> refs_{1};
};

}  // namespace plat
