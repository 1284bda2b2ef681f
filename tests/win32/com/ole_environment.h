#pragma once
// Every test program here runs its tests on one single-threaded apartment.

#include <gtest/gtest.h>
#include <ole2.h>
#include <windows.h>

class OleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { OleInitialize(nullptr); }
  void TearDown() override { OleUninitialize(); }
};
