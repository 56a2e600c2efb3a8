// DECNET_API marks what libpellamdecnet.so offers the programs that link it: the
// node, its session-control endpoints, node addresses and the node database. The
// layers behind them are compiled hidden; tests reach them through the layers'
// static libraries.
#pragma once

#define DECNET_API __attribute__((visibility("default")))
