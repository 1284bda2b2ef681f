#pragma once
// Owners of COM resources: an interface pointer, a BSTR, a VARIANT.

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller already owns.
  explicit ComPtr(T* owned) : p_(owned) {}
  ComPtr(const ComPtr& o) : p_(o.p_) { if (p_) p_->AddRef(); }
  ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  ComPtr& operator=(ComPtr o) noexcept { std::swap(p_, o.p_); return *this; }
  ~ComPtr() { Reset(); }

  // Adds a reference of its own.
  static ComPtr Share(T* p) { if (p) p->AddRef(); return ComPtr(p); }

  void Reset() { if (p_) { T* p = p_; p_ = nullptr; p->Release(); } }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases what is held first.
  T** Out() { Reset(); return &p_; }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  T* Detach() { T* p = p_; p_ = nullptr; return p; }

 private:
  T* p_ = nullptr;
};

class BstrHolder {
 public:
  BstrHolder() = default;
  explicit BstrHolder(const std::wstring& s) : b_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
  BstrHolder(const BstrHolder&) = delete;
  BstrHolder& operator=(const BstrHolder&) = delete;
  ~BstrHolder() { Reset(); }
  void Reset() { if (b_) { SysFreeString(b_); b_ = nullptr; } }
  BSTR Get() const { return b_; }
  BSTR* Out() { Reset(); return &b_; }
  std::wstring Wide() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }

 private:
  BSTR b_ = nullptr;
};

class VariantHolder {
 public:
  VariantHolder() { VariantInit(&v_); }
  VariantHolder(const VariantHolder&) = delete;
  VariantHolder& operator=(const VariantHolder&) = delete;
  ~VariantHolder() { VariantClear(&v_); }
  void Reset() { VariantClear(&v_); }
  VARIANT* Get() { return &v_; }
  const VARIANT* Get() const { return &v_; }
  VARIANT* Out() { VariantClear(&v_); return &v_; }

 private:
  VARIANT v_;
};
