// Where each computed branch of the translated set goes, as far as the ROM
// shows it: a small constant analysis of the registers finds the
// destinations of subroutine returns (B *R11 and its copies go back to the
// return points of the routine's callers), of dispatch tables (a word taken
// from a ROM table by an index with a known range, or, without one, the run
// of entry addresses that the table holds) and of loaded continuations (an
// address put into a register with LI).
//
// The result only shapes the dispatch code: a site dispatches on its own to
// the entries found for it and leaves every other value to the shared
// dispatch step, so an incomplete or wrong guess costs time, never behaviour.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "rom/translator/reach.h"

// For each computed-branch site with known destinations: those that are
// entries, in ascending order. Sites without any are left out.
using SiteTargets = std::map<std::uint16_t, std::vector<std::uint16_t>>;

SiteTargets find_site_targets(const RomImage& rom, const TranslatedSet& set,
                              const std::vector<std::uint16_t>& entries, std::uint16_t start,
                              std::uint16_t workspace);
