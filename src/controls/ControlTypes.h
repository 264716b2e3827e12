#pragma once
// Small property types that several of the support controls share.

enum class TBorderStyle { bsNone, bsSingle };

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
