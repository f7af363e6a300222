#pragma once

// The whole public interface of the speclink library: include this and link `speclink`.

#include "cluster/HierarchicalCluster.h"
#include "consensus/RepresentativeSpectra.h"
#include "data/ClusterLink.h"
#include "data/SpectraProcess.h"
#include "data/Spectrum.h"
#include "modification/MassDifferenceClustering.h"
#include "modification/ModificationCluster.h"
#include "params/Cluster.h"
#include "params/ClusterFactory.h"
#include "params/Enums.h"
#include "params/Para.h"
#include "peaks/PeakList.h"
#include "peaks/PeakSelect.h"
#include "peaks/SqrtNormalize.h"
#include "platform/FileSystem.h"
#include "scoring/Similarity.h"
