// The key of a graph: one text for the whole graph, every connected component
// included, that equal graphs share and that can be read back into the trees
// it was written from.
//
// Each component (a node on no edge is one) is copied out with its labels
// and modalities escaped (key_escape.h) and canonised alone, brace contents
// compressed to tokens; the component strings are sorted bytewise and joined
// by ";" after a prefix that names the format and the options:
//
//   key := prefix [ component { ";" component } ]
//   prefix := "tolva1" [ "+compact" ] [ "+plain" ] [ "+whole" ] ":"
//
// A component is a canonical string over escaped texts:
//
//   tree := label | "(" [ item { ", " item } ] ")" label
//   item := tree ":" text                          (the modality)
//   label := text | text "#" digits "{" group "}" | text "*{" group "}"
//   group := "$" digits | magnet | magnet "-" text "-" magnet
//   magnet := "_" 32 hex digits "_" | "_" tree "_"
//   text := { plain byte | "%" hex hex }
//
// Why the key reads back unambiguously: a text holds none of the bytes
// ( ) , space : # * { } $ _ ; and a % always opens an escape, so each of
// those bytes in a key is punctuation of the grammar above, and braces nest
// exactly as written. The first ":" ends the prefix; ";" occurs nowhere
// else, so splitting at it gives the components; in a component, "(" opens
// an item list, ", " and ")" end an item, the ":" after a tree's label
// starts its modality, a label's text runs to the next punctuation, and a
// brace group is closed by its matching brace. Inside a group "$"
// makes a token; otherwise "_" opens a magnet that the next "_" outside
// nested braces closes (no text holds "_"), and a signature's modality runs
// from the "-" after the first magnet to the "-" before the next "_". Every
// choice is thus made by the next byte, so a key has one parse, and decoding
// the escapes gives back the raw labels and modalities of the trees: two
// inputs whose component trees differ never write the same key.
//
// The prefix names the format: a release that changes the key of any graph
// changes "tolva1". Options that change the text are part of the prefix, so
// keys made with different options never meet.
//
// Cost: the escaping and the joining are linear in the text written; the
// sort compares the component strings.
//
//   // a -(1)- b,  c on no edge (labels A, B, C)
//   graph_key(g, {}) == "tolva1:()C;(B:1)A"
#pragma once

#include <string>
#include <string_view>

#include "dag/call_controls.h"
#include "error/tolva_error.h"
#include "graph/graph_wrap.h"

namespace tolva {

inline constexpr std::string_view kKeyFormat = "tolva1";

struct KeyOptions {
  bool compact = false;
  bool allow_hashes = true;
  // Brace contents written whole rather than as "$n" tokens (numbered per
  // component). Tokens are the default: measured on the molecules and on
  // every graph of up to 7 nodes, they make far fewer graphs depend on the
  // input order and merged no more different graphs than whole contents.
  bool whole_braces = false;
};

// "tolva1:" for the default options, "tolva1+compact+plain:" for both changed, ...
std::string key_prefix(const KeyOptions& options);

// The key as described above; errors of the canonisation pass through
// (the first component that fails).
Result<std::string> graph_key(const GraphWrap& graph, const KeyOptions& options,
                              const CallControls& controls = {});

}  // namespace tolva
