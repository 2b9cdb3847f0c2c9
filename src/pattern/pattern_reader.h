// SPDX-License-Identifier: GPL-3.0-or-later
// Reading diffractometer files into a Pattern. The kind of file is told from its content
// (its extension only where the content cannot tell), so a renamed file still opens:
//   .xy .xye .csv .txt .dat  two or three columns of text (2θ, counts, s.u.)
//   .xrdml                   PANalytical XML, schema 1.x (<intensities>) and 2.x (<counts>)
//   .raw                     Bruker RAW1.01 (v3) and RAW4.00 (v4); GSAS text is read too
//   .brml                    Bruker DIFFRAC.SUITE (zip of XML)
//   .ras .rasx               Rigaku SmartLab text, and its zip
//   .gsa .gss .gsas .fxye    GSAS standard (STD, ESD) and FXYE powder data
// Every damaged or hostile file gets a PatternFileError naming the file and what is wrong;
// files are read up to kMaxPatternFileBytes, archive members unpacked up to 64 MiB, and at
// most 5 million points.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "lang.h"
#include "pattern.h"
#include "pattern_messages.h"

namespace dorvalix {

inline constexpr std::size_t kMaxPatternFileBytes = 64 * 1024 * 1024;

// Reads the file at `path` (IoError when it cannot be read or is too large) and parses it.
Pattern ReadPatternFile(const std::string& path, Lang lang);

// Parses the bytes of a file called `fileName` (which names it in the messages and breaks a
// tie where the content cannot tell the format).
Pattern ParsePattern(std::string_view bytes, const std::string& fileName, Lang lang);

// Each reader on its own (for tests and fuzzing); `fileName` names the file in messages.
Pattern ParseXyText(std::string_view bytes, const std::string& fileName, Lang lang);
Pattern ParseXrdml(std::string_view bytes, const std::string& fileName, Lang lang);
Pattern ParseBrukerRaw(std::string_view bytes, const std::string& fileName, Lang lang);
Pattern ParseBrml(std::string_view bytes, const std::string& fileName, Lang lang);
Pattern ParseRas(std::string_view bytes, const std::string& fileName, Lang lang);
Pattern ParseRasx(std::string_view bytes, const std::string& fileName, Lang lang);
Pattern ParseGsas(std::string_view bytes, const std::string& fileName, Lang lang);

}  // namespace dorvalix
