#pragma once
// The client side of the binding, for code that holds raw IDispatch pointers
// (tests, and the stand-in server that receives objects as arguments).

#include <windows.h>
#include <oleauto.h>

#include "spreadsheet/variant.h"

// A LateBound over dispatch, with a reference of its own. Objects wrapped
// separately share no name cache.
ObjectRef WrapDispatch(IDispatch* dispatch);

// The IDispatch behind an object made by this binding (no reference added),
// or null for any other object.
IDispatch* DispatchOf(const ObjectRef& object);
