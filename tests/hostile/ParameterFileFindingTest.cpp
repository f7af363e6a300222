// A parameter file found by the fuzz target tests/fuzz/fuzz_param_file.cpp whose settings,
// once written, do not read back. Not a fault: the cluster type of the engine's class is the
// last "cluster_type=" line anywhere in the file, while the number the engine stores comes
// from the "[cluster]" section only. The written file carries the stored number, and a
// cluster type other than 0 or 1 is refused on reading.

#include <gtest/gtest.h>


#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/params/Para.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(ParameterFileFinding, ClusterTypeOutsideItsSectionDoesNotRoundTrip) {
    const TempDir dir;
    WriteFile(dir / "in.param", "[cluster]\ncluster_type=2\n[modification]\ncluster_type=0\n");
    CPara para;
    ASSERT_TRUE(para.ReadParaFile(dir / "in.param"));
    EXPECT_NE(dynamic_cast<CHierarchicalCluster*>(para.engine), nullptr);
    EXPECT_EQ(para.engine->cluster_type, 2);
    ASSERT_TRUE(para.WriteParaFile(dir / "out.param"));
    EXPECT_NE(ReadFile(dir / "out.param").find("\ncluster_type=2\n"), std::string::npos);
    CPara again;
    EXPECT_FALSE(again.ReadParaFile(dir / "out.param"));
    EXPECT_EQ(again.engine, nullptr);
}

}  // namespace
}  // namespace speclink
