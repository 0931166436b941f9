#include "dag/magnet.h"

#include "dag/md5_digest.h"
#include "dag/trace.h"
#include "graph/blocked_nodes.h"
#include "tree/tree_string.h"

namespace tolva {

Result<std::string_view> get_magnet(GraphWrap& graph, NodeIndex node, bool allow_hashes,
                                    RewriteContext& context) {
  if (auto cached = graph.cached_magnet(node, allow_hashes)) return *cached;
  auto floor = graph.floor(node);
  if (!floor) return parse_error("magnet requires floored graph");

  auto below = tree_text_from(context.walker(), graph, node, BlockedNodes::floors_up_to(*floor, node), false,
                              context.controls().stop);
  if (!below) return parse_error(std::move(below.error()));

  std::string magnet;
  std::optional<Digest> digest;
  if (allow_hashes) {
    digest = context.md5().digest("_", below->text, "_");
    if (!digest) return parse_error("md5 digest failed");
    magnet = "_" + hex_digest(*digest) + "_";
  } else {
    if (auto taken = context.take_magnet_text(below->text.size() + 2); !taken)
      return std::unexpected(taken.error());
    magnet.reserve(below->text.size() + 2);
    magnet = "_";
    below->text.append_to(magnet);
    magnet += "_";
  }
  if (context.trace().magnet_on())
    emit(context.trace(), "magnet", {{"magnet", JsonValue(magnet)}, {"node", JsonValue(graph.id(node))}});

  std::string_view stored = graph.store_text(magnet);
  graph.cache_magnet(node, stored, digest, allow_hashes);
  return stored;
}

}  // namespace tolva
