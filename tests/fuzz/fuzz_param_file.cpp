// Fuzz target: the parameter file reader on arbitrary content, then the writer, then the
// reader again on what was written. A written file reads back whenever the engine's stored
// cluster type is 0 or 1; the stored number may differ from the engine's class (a
// "cluster_type=" line in "[cluster]" sets the number, the last such line anywhere picks the
// class), and a file written with another number is refused as it should be.
#include <cstddef>
#include <cstdint>

#include "speclink/tests/fuzz/FuzzSupport.h"
#include "speclink/library/params/Para.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using speclink::fuzz::Require;
    const auto& scratch = speclink::fuzz::Scratch();
    const std::string path = scratch.Write("input.param", data, size);
    const std::string written = (scratch.path() / "written.param").string();
    speclink::CPara para;
    if (!para.ReadParaFile(path)) return 0;
    Require(para.engine != nullptr && para.similarity != nullptr && para.peak_select != nullptr &&
                para.spectra_process != nullptr && para.representative_spectra != nullptr,
            "a successful read leaves an object missing");
    if (!para.WriteParaFile(written)) return 0;
    const int32_t type = para.engine->cluster_type;
    if (type != speclink::CLUSTER_HIERARCHICAL && type != speclink::CLUSTER_MODIFICATION) return 0;
    speclink::CPara again;
    Require(again.ReadParaFile(written), "a written parameter file does not read back");
    Require(again.engine->cluster_type == para.engine->cluster_type, "cluster type lost in a round trip");
    return 0;
}
