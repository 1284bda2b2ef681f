#pragma once
// The object behind "CellSweep.StandInTest": a few members with known answers
// for the binding's tests.
//   Stored          get/put: any value, kept (Stored(n): slot n)
//   Child           get: a new object of this kind, each time
//   Bare            get: a new object of this kind served without type information
//   Echo(args...)   call: its only argument, or a 1 x n array of them
//   Twice(x)        call: x * 2 (a number)
//   Fail            call: fails, with a reason naming the failure in Chinese
//   Frobnicate      get: 42; absent from the type information, so reached through GetIDsOfNames only
// Any other name fails as a member the object does not have.

#include "spreadsheet/variant.h"

ObjectRef CreateStandInTestObject();
// Whether the server should serve this object without type information.
bool ServedWithoutTypeInfo(const ObjectRef& object);
