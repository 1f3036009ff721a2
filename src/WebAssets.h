// The files of the page at "/", compiled into the program from web/ by
// tools/embed_web.cmake.
#ifndef PLUVAR_WEB_ASSETS_H
#define PLUVAR_WEB_ASSETS_H

#include <cstddef>

struct WebAsset {
  const char *path;          // the request path that serves it
  const char *content_type;  // with its charset
  const unsigned char *data;
  size_t size;
};

extern const WebAsset kWebAssets[];
extern const size_t kWebAssetCount;

#endif
