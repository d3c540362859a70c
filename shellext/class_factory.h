// The class factory of a module's COM class. Object must be
// default-constructible, count itself in the module (CountedObject) and
// start with no reference.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <new>

#include "server_module.h"
#include "trace.h"

namespace shellext {

template <typename Object>
class ClassFactory final : public IClassFactory, private CountedObject {
public:
    ClassFactory() = default;

    STDMETHODIMP QueryInterface(REFIID interfaceId, void** result) override {
        if (!result) return E_POINTER;
        *result = nullptr;
        if (!IsEqualIID(interfaceId, IID_IUnknown) && !IsEqualIID(interfaceId, IID_IClassFactory))
            return E_NOINTERFACE;
        *result = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        if (--references_ != 0) return references_;
        delete this;
        return 0;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID interfaceId, void** result) override {
        return traced("ClassFactory::CreateInstance", [&] { return guidText(interfaceId); },
                      create(outer, interfaceId, result));
    }
    // Locks are not counted: a live factory or object keeps the module loaded.
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    // Creates a T and hands out the asked interface; a failed query destroys
    // it at once, so nothing is left behind.
    template <typename T>
    static HRESULT createAndQuery(REFIID interfaceId, void** result) {
        T* object = new (std::nothrow) T();
        if (!object) return E_OUTOFMEMORY;
        object->AddRef();
        HRESULT status = object->QueryInterface(interfaceId, result);
        object->Release();
        return status;
    }

private:
    ~ClassFactory() = default;
    static HRESULT create(IUnknown* outer, REFIID interfaceId, void** result) {
        if (!result) return E_POINTER;
        *result = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return createAndQuery<Object>(interfaceId, result);
    }
    ULONG references_ = 0;
};

}  // namespace shellext
