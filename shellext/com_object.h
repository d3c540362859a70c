// The IUnknown of a COM class with one or two interfaces, First (the
// object's primary interface) and an optional Second, over one reference
// count. QueryInterface walks the class's table of interface ids; an id
// answered by the second interface hands out that pointer. The compiler
// gives both interfaces' IUnknown slots these methods, so the second
// forwards to the first. The object counts itself in the module while it
// lives.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>

#include "server_module.h"

namespace shellext {

struct InterfaceEntry {
    const IID* id;
    bool bySecond;  // answered with the second interface's pointer
};

template <typename First, typename... Second>
class ComObject : public First, public Second..., private CountedObject {
    static_assert(sizeof...(Second) <= 1, "a COM object has one or two interfaces");

public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID interfaceId, void** result) override {
        if (!result) return E_POINTER;
        *result = nullptr;
        for (std::size_t i = 0; i < interfaceCount_; ++i) {
            if (!IsEqualIID(interfaceId, *interfaces_[i].id)) continue;
            *result = interfaces_[i].bySecond ? secondInterface()
                                              : static_cast<void*>(static_cast<First*>(this));
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    // Each object lives on its apartment's thread: a plain count suffices.
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        if (--references_ != 0) return references_;
        delete this;
        return 0;
    }

protected:
    // `interfaces`: every id the object answers, IID_IUnknown among them.
    template <std::size_t Count>
    explicit ComObject(const InterfaceEntry (&interfaces)[Count])
        : interfaces_(interfaces), interfaceCount_(Count) {}
    virtual ~ComObject() = default;

private:
    void* secondInterface() {
        if constexpr (sizeof...(Second) == 1)
            return static_cast<void*>((static_cast<Second*>(this), ...));
        else
            return static_cast<void*>(static_cast<First*>(this));  // no second: never asked
    }

    const InterfaceEntry* interfaces_;
    std::size_t interfaceCount_;
    ULONG references_ = 0;
};

}  // namespace shellext
