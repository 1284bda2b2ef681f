#include "replace/batch.h"

// Placeholder until the batch lands.
void RunBatchReplace() {}
BatchReport RunBatch(const BatchOptions&) { return BatchReport(); }
