// SPDX-License-Identifier: GPL-3.0-or-later
// Failures that end a command: they travel as exceptions to the command boundary,
// where the window shows them in the application's error box (text + ".").
#pragma once

#include <stdexcept>
#include <string>

namespace dorvalix {

// Base of every error that carries the text the error box shows.
class DorvalixError : public std::runtime_error {
  public:
    explicit DorvalixError(const std::string& text) : std::runtime_error(text) {}
    const std::string Text() const { return what(); }
};

// A text that is not a number, or not an integer.
class ConversionError : public DorvalixError {
  public:
    using DorvalixError::DorvalixError;
};

// Division by zero, invalid operation or overflow in the arithmetic.
class FloatFault : public DorvalixError {
  public:
    enum class Kind { DivideByZero, InvalidOperation, Overflow };
    explicit FloatFault(Kind kind);
    Kind FaultKind() const { return kind_; }

  private:
    Kind kind_;
};

// A file that cannot be opened, read or written.
class IoError : public DorvalixError {
  public:
    using DorvalixError::DorvalixError;
};

// The texts the error box shows for the three arithmetic faults.
const char* FloatFaultText(FloatFault::Kind kind);

// Clears the processor's sticky exception flags before a step that must be checked.
void ClearFloatFaults();

// Throws FloatFault when division by zero, an invalid operation or an overflow happened
// since the last ClearFloatFaults; underflow and inexact results are ignored. When several
// flags are up, the one the processor would have reported first (invalid, then division,
// then overflow) wins.
void CheckFloatFaults();

// Whether one of those three faults happened since the last ClearFloatFaults.
bool FloatFaultRaised();

}  // namespace dorvalix
