// Reference counting and QueryInterface for the stand-in's objects that
// offer one interface.
#ifndef LURN_STANDIN_COUNTED_H
#define LURN_STANDIN_COUNTED_H

#include <windows.h>

template <class Interface> class Counted : public Interface {
public:
  explicit Counted(const IID &iid) : iid_(iid) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override {
    if (out == NULL)
      return E_INVALIDARG;
    *out = NULL;
    if (riid != IID_IUnknown && riid != iid_)
      return E_NOINTERFACE;
    AddRef();
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0)
      LastReleased();
    return left;
  }

protected:
  virtual void LastReleased() { delete this; }
  virtual ~Counted() {}
  ULONG references_ = 1;

private:
  const IID &iid_;
};

#endif
