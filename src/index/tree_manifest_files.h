// The tree manifest's two files written at the top of a run, with the same
// care as the index files: atomically through an output stream, not at all
// when they already hold these bytes, never over a file of that name that
// this program did not write (with options.keepForeignFiles), and only
// compared in a check.
#pragma once

#include "index/export_runs.h"
#include "index/index_options.h"
#include "index/tree_manifest.h"
#include "platform/platform.h"

namespace quilldex {

// Writes index.tree.json and index.tree.js into `top` from `manifest`
// (arranged). Adds to `report` a problem for a file that could not be
// written, a note for one kept, and for a check each one a run would write.
void writeTreeManifest(const platform::DirectoryHandle& top, const IndexOptions& options, const TreeManifest& manifest,
                       RunReport& report);

}  // namespace quilldex
