// Reading and writing the parameter file of a CPara.

#include <array>
#include <cstdio>
#include <optional>

#include "speclink/library/common/StdioFile.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/params/ClusterFactory.h"
#include "speclink/library/params/Para.h"
#include "speclink/library/params/ParameterFileReading.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {

namespace {

bool IsUnit(Tolerance_Type unit) { return unit == TOLERANCE_DA || unit == TOLERANCE_PPM; }

}  // namespace

bool CPara::ReadParaFile(std::string path) {
    std::array<std::string_view, 6> headers;
    for (std::size_t k = 0; k < headers.size(); ++k) headers[k] = section_names[k];
    const std::optional<ParameterFileReading> reading = ParameterFileReading::Read(path, headers);
    if (!reading) return false;
    const int32_t engine_type = reading->engine_type();
    if (engine_type != CLUSTER_HIERARCHICAL && engine_type != CLUSTER_MODIFICATION) return false;
    const Settings& settings = reading->settings();

    auto* process = new CSpectraProcess(settings.data_type, settings.data_directory, settings.out_directory,
                                        settings.cluster_result, settings.small_peaks_count_filter);
    Replace(spectra_process, process, retired_spectra_processes_);
    auto* representatives = new CRepresentativeSpectra(settings.consensus_type, settings.consensus_fragment_tol.value,
                                                       settings.consensus_fragment_tol.unit);
    Replace(representative_spectra, representatives, retired_representatives_);
    const CClusterFactory factory;
    CCluster* cluster =
        factory.CreateCluster(process, representatives, static_cast<Cluster_Type>(engine_type),
                              settings.precursor_ion_tol.value, settings.precursor_ion_tol.unit, settings.threshold);
    cluster->cluster_type = settings.cluster_type;
    cluster->lower_mass = settings.lower_mass;
    cluster->upper_mass = settings.upper_mass;
    cluster->cluster_masses_tol = settings.cluster_masses_tol;
    Replace(engine, cluster, retired_engines_);
    Replace(similarity,
            new CSimilarity(settings.similar_method, settings.fragment_ion_tol.value, settings.fragment_ion_tol.unit),
            retired_similarities_);
    Replace(peak_select,
            new CPeakSelect(settings.peak_select_method, settings.whole_top_peak_num, settings.part_top_peak_num,
                            settings.part_top_peak_per_num),
            retired_peak_selects_);
    return true;
}

bool CPara::WriteParaFile(std::string path) const {
    if (engine == nullptr || similarity == nullptr || peak_select == nullptr || spectra_process == nullptr ||
        representative_spectra == nullptr)
        return false;
    if (!IsUnit(similarity->fragment_ion_tol_type) || !IsUnit(engine->precursor_ion_tol_type) ||
        !IsUnit(representative_spectra->consensus_fragment_tol_type))
        return false;
    const StdioFile file = OpenStdioFile(path, "w");
    if (!file) return false;
    std::FILE* out = file.get();
    std::fprintf(out, "[clustername]\n");
    std::fprintf(out, "cluster_name=%s\n", "");
    std::fprintf(out, "[file]\n");
    std::fprintf(out, "data_type=%d\n", spectra_process->data_type);
    std::fprintf(out, "data_directory=%s\n", spectra_process->GetDataDirectory().c_str());
    std::fprintf(out, "out_directory=%s\n", spectra_process->GetOutDirectory().c_str());
    std::fprintf(out, "cluster_result=%s\n", spectra_process->GetClusterResult().c_str());
    std::fprintf(out, "[preprocessing]\n");
    std::fprintf(out, "small_peaks_count_filter=%d\n", spectra_process->small_peaks_count_filter);
    std::fprintf(out, "peak_select_method=%d\n", peak_select->peak_select_method);
    std::fprintf(out, "whole_top_peak_num=%d\n", peak_select->whole_top_peak_num);
    std::fprintf(out, "part_top_peak_num=%d\n", peak_select->part_top_peak_num);
    std::fprintf(out, "part_top_peak_per_num=%d\n", peak_select->part_top_peak_per_num);
    std::fprintf(out, "scale=%s\n", "sqrt");
    std::fprintf(out, "[similarity]\n");
    std::fprintf(out, "similar_method=%d\n", similarity->similar_method);
    std::fprintf(out, "fragment_ion_tol=%.2lf\n", similarity->fragment_ion_tol);
    std::fprintf(out, "fragment_ion_tol_type=%s\n", ToleranceNames[similarity->fragment_ion_tol_type]);
    std::fprintf(out, "[cluster]\n");
    std::fprintf(out, "cluster_type=%d\n", engine->cluster_type);
    std::fprintf(out, "cluster_method=%d\n", 0);
    std::fprintf(out, "precursor_ion_tol=%.2lf\n", engine->precursor_ion_tol);
    std::fprintf(out, "precursor_ion_tol_type=%s\n", ToleranceNames[engine->precursor_ion_tol_type]);
    std::fprintf(out, "consensus_type=%d\n", representative_spectra->consensus_type);
    std::fprintf(out, "consensus_fragment_tol=%lf\n", representative_spectra->consensus_fragment_tol);
    std::fprintf(out, "consensus_fragment_tol_type=%s\n",
                 ToleranceNames[representative_spectra->consensus_fragment_tol_type]);
    std::fprintf(out, "threshold=%.2lf\n", engine->threshold);
    std::fprintf(out, "[modification]\n");
    std::fprintf(out, "lower_mass=%d\n", engine->lower_mass);
    std::fprintf(out, "upper_mass=%d\n", engine->upper_mass);
    std::fprintf(out, "cluster_masses_tol=%lf\n", engine->cluster_masses_tol);
    return true;
}

}  // namespace speclink
