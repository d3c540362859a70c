// The class factory that creates Korvane objects.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace handler {

class KorvaneClassFactory final : public IClassFactory {
public:
    KorvaneClassFactory();
    KorvaneClassFactory(const KorvaneClassFactory&) = delete;
    KorvaneClassFactory& operator=(const KorvaneClassFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID interfaceId, void** result) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID interfaceId, void** result) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ~KorvaneClassFactory();
    ULONG references_ = 0;
};

}  // namespace handler
