#pragma once
#include <cstddef>
#include <cstdint>

#include "common/run_io.h"
#include "packages/package_input.h"
#include "store/inventory.h"

namespace zira {

// Formats a package or list name into buffer. False (buffer emptied) when the
// whole name does not fit: a cut name could match some other file on disk.
bool FormatName(char* buffer, std::size_t capacity, const char* format, ...) __attribute__((format(printf, 3, 4)));

// True when the name has a '.' anywhere, i.e. it already carries an extension.
bool HasDot(const char* name);

// The package a listed name stands for: the name itself when it carries an
// extension (its existence is the caller's question), otherwise name.obg when
// that file exists, else name.s3d when that one does (written into buffer).
// nullptr when neither exists.
const char* ResolvePackageName(ClientFolder& folder, const char* name, char* buffer, std::size_t capacity);

PackageType PackageTypeOf(const char* name);

// Scans a registered source with the scanner of its package type;
// an invalid argument for a type no scanner reads.
Result ScanPackage(const RunIo& io, Inventory& inventory, ModelSource* source, PackageType type);

}  // namespace zira
