#pragma once
// The kinds, buttons and results of the program's message boxes, without
// the box: window-free code says what to ask, the window asks it.

#include <cstdint>
#include <initializer_list>

enum TMsgDlgType : int {
  mtWarning = 0,
  mtError = 1,
  mtInformation = 2,
  mtConfirmation = 3,
  mtCustom = 4,
};

// Buttons by their number in a button set.
enum TMsgDlgBtn : int {
  mbYes = 0,
  mbNo = 1,
  mbOK = 2,
  mbCancel = 3,
  mbAbort = 4,
  mbRetry = 5,
  mbIgnore = 6,
  mbAll = 7,
  mbNoToAll = 8,
  mbYesToAll = 9,
  mbHelp = 10,
};

// Modal results, as a box returns them.
enum TModalResult : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
  mrAll = 8,
  mrNoToAll = 9,
  mrYesToAll = 10,
};

// A set of buttons: bit n stands for the button with number n.
class TMsgDlgButtons {
 public:
  constexpr TMsgDlgButtons() = default;
  constexpr TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> buttons) {
    for (TMsgDlgBtn b : buttons) FBits |= static_cast<std::uint16_t>(1u << b);
  }
  constexpr bool Contains(TMsgDlgBtn b) const { return (FBits >> b) & 1u; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr std::uint16_t Bits() const { return FBits; }
  constexpr bool operator==(const TMsgDlgButtons&) const = default;

 private:
  std::uint16_t FBits = 0;
};
