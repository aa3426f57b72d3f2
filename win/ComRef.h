// Holding COM objects: one reference, released when the holder goes.
#pragma once

#include <unknwn.h>

#include <memory>

namespace win {

struct ComRelease {
    void operator()(IUnknown* object) const {
        if (object) object->Release();
    }
};

template <class Interface>
using ComRef = std::unique_ptr<Interface, ComRelease>;

}  // namespace win
