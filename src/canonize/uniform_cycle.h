// Uniform cycles: graphs whose every root writes the same first-pass string.
//
// A graph is a uniform cycle when it is one simple cycle through all of its
// n >= 3 nodes (every node has two edges, to two other nodes, and walking
// along the edges from any node returns to it after n steps), all its nodes
// carry one label and all its edges one modality. Every rotation of such a
// cycle keeps labels and modalities, so any node can be carried onto any
// other; what follows shows that the rewrite from any root then writes the
// same tree, so the first pass need rewrite only one candidate and may enter
// the others as tied with it.
//
// Seen from a root r, the node at distance d along the cycle lies on floor d.
// Floors 1 .. ceil(n/2)-1 hold two nodes each, one on each arm, each with one
// parent edge; for even n the last floor holds the one node opposite r, with
// its two parent edges, and for odd n it holds two nodes joined by the one
// edge within a floor. So the rewrite has exactly one defect, whatever the
// root: the opposite node (split into two mirrors; nothing lies below it) or
// the opposite edge (cut into two virtual leaves). It makes one repair and no
// choice between defects, in both modes. The texts it writes are built from
// labels, modalities, heights and the texts below (a mirror's label carries
// the split node's magnet, a virtual leaf's the magnets of the cut edge's ends
// and its modality), never from ids, and children that tie on height,
// modality and text are ordered by position, which cannot change the text they
// write. The two arms are alike, so the tree from r reads the same as the tree
// from any other root: same height, same text. The first pass keeps the
// tallest trees and, among them, the greatest text, so every candidate is a
// winner, in candidate order, with the first candidate's text.
//
// A candidate set that leaves nodes out (pruning) would break the symmetry, so
// the first pass takes this path only when nothing is left out, and never with
// the trace on (each rewrite writes its own lines).
//
//   if (is_uniform_cycle(graph)) ...  // rewrite the first candidate, tie the rest
#pragma once

#include "graph/graph_wrap.h"

namespace tolva {

bool is_uniform_cycle(const GraphWrap& graph);

}  // namespace tolva
