#pragma once

// The whole public interface of the speclink library: include this and link `speclink`.

#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/data/ClusterLink.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/data/Spectrum.h"
#include "speclink/library/modification/MassDifferenceClustering.h"
#include "speclink/library/modification/ModificationCluster.h"
#include "speclink/library/params/Cluster.h"
#include "speclink/library/params/ClusterFactory.h"
#include "speclink/library/params/Enums.h"
#include "speclink/library/params/Para.h"
#include "speclink/library/peaks/PeakList.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/peaks/SqrtNormalize.h"
#include "speclink/library/platform/FileSystem.h"
#include "speclink/library/scoring/Similarity.h"
