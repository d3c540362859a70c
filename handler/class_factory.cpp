#include "class_factory.h"

#include <new>

#include "korvane.h"
#include "module.h"

namespace handler {

KorvaneClassFactory::KorvaneClassFactory() { objectCreated(); }
KorvaneClassFactory::~KorvaneClassFactory() { objectDestroyed(); }

STDMETHODIMP KorvaneClassFactory::QueryInterface(REFIID interfaceId, void** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!IsEqualIID(interfaceId, IID_IUnknown) && !IsEqualIID(interfaceId, IID_IClassFactory))
        return E_NOINTERFACE;
    *result = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) KorvaneClassFactory::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) KorvaneClassFactory::Release() {
    if (--references_ != 0) return references_;
    delete this;
    return 0;
}

STDMETHODIMP KorvaneClassFactory::CreateInstance(IUnknown* outer, REFIID interfaceId,
                                                 void** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* object = new (std::nothrow) Korvane();
    if (!object) return E_OUTOFMEMORY;
    object->AddRef();
    HRESULT status = object->QueryInterface(interfaceId, result);
    object->Release();  // a failed query destroys the object at once
    return status;
}

// Locks are not counted: a live factory or object keeps the module loaded.
STDMETHODIMP KorvaneClassFactory::LockServer(BOOL) { return S_OK; }

}  // namespace handler
