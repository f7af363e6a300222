"""speclink: clustering and modification search for MS/MS spectra.

Spectra come from speclink.read, or from any source that gives m/z and intensity arrays with
a precursor m/z and a charge: speclink.Spectrum objects, pymzml, pyteomics and matchms
spectra (by their attributes), or plain tuples (mz, intensity, precursor_mz, charge) with an
optional retention time. The engines run without the interpreter lock, on `threads` threads
(0: every core); their results are those of the speclink command on the same spectra.

    import speclink
    spectra = speclink.read("run.mzML")
    result = speclink.cluster(spectra, threshold=0.6, precursor_tol="20ppm")
    result.labels            # cluster number of each spectrum, as clusters.tsv gives it
    result.write("clusters") # clusters.csv, clusters.tsv, consensus.mgf as the command writes them
    search = speclink.modsearch(spectra)
    search.pairs             # numpy structured array: first, second, mass_difference, score
    search.offsets           # the mass offsets that recur among the pairs, with Unimod names

Bad input (arrays of other shapes or lengths, NaN, a negative charge, an unknown method)
raises ValueError.
"""

import os as _os

import numpy as _np

from ._speclink import ClusterResult, ModsearchResult, Params, Spectrum
from . import _speclink

__all__ = ["Spectrum", "Params", "ClusterResult", "ModsearchResult", "read", "write", "cluster", "modsearch",
           "score", "select_peaks", "to_spectrum"]


def _threads(threads):
    if threads is None or threads == 0:
        return _os.cpu_count() or 1
    if threads < 0:
        raise ValueError("threads must be 0 (every core) or more")
    return int(threads)


def _array(values, what):
    array = _np.asarray(values, dtype=_np.float64)
    if array.ndim != 1:
        raise ValueError(f"{what} must be a one-dimensional array, got shape {array.shape}")
    return array


def _charge(value):
    # pymzml and pyteomics give charges as numbers, lists ("2+"), or ChargeList objects.
    if isinstance(value, (list, tuple)) and value:
        value = value[0]
    if isinstance(value, str):
        value = value.strip().rstrip("+")
    if value is None:
        raise ValueError("the spectrum has no precursor charge")
    return int(value)


def to_spectrum(item):
    """A speclink.Spectrum from a Spectrum, a tuple (mz, intensity, precursor_mz, charge[,
    retention_time]), a pymzml spectrum, a pyteomics MGF/mzML dict or a matchms Spectrum."""
    if isinstance(item, Spectrum):
        return item
    if isinstance(item, tuple):
        if len(item) not in (4, 5):
            raise ValueError("a spectrum tuple is (mz, intensity, precursor_mz, charge[, retention_time])")
        mz, intensity, precursor_mz, charge = item[:4]
        retention_time = float(item[4]) if len(item) == 5 else 0.0
        return Spectrum(_array(mz, "mz"), _array(intensity, "intensity"), float(precursor_mz), _charge(charge),
                        retention_time)
    if isinstance(item, dict) and "m/z array" in item:  # pyteomics
        params = item.get("params", {})
        if "pepmass" in params:
            precursor_mz = params["pepmass"][0]
            charge = params.get("charge")
            retention_time = float(params.get("rtinseconds", 0.0) or 0.0)
            title = str(params.get("title", ""))
        else:  # pyteomics mzML
            ion = item["precursorList"]["precursor"][0]["selectedIonList"]["selectedIon"][0]
            precursor_mz = ion["selected ion m/z"]
            charge = ion.get("charge state")
            retention_time = 0.0
            title = str(item.get("id", ""))
        return Spectrum(_array(item["m/z array"], "mz"), _array(item["intensity array"], "intensity"),
                        float(precursor_mz), _charge(charge), retention_time, native_id=title, title=title)
    if hasattr(item, "selected_precursors"):  # pymzml
        precursors = item.selected_precursors
        if not precursors:
            raise ValueError(f"pymzml spectrum {getattr(item, 'ID', '?')} has no precursor")
        native_id = str(getattr(item, "id_dict", {}).get("scan", "") if hasattr(item, "id_dict") else "")
        scan_time = item.scan_time_in_minutes() * 60.0 if hasattr(item, "scan_time_in_minutes") else 0.0
        return Spectrum(_array(item.mz, "mz"), _array(item.i, "intensity"), float(precursors[0]["mz"]),
                        _charge(precursors[0].get("charge")), float(scan_time), native_id=native_id,
                        scan=int(item.ID) if str(getattr(item, "ID", "")).isdigit() else 0)
    if hasattr(getattr(item, "peaks", None), "mz") and hasattr(item, "get"):  # matchms
        return Spectrum(_array(item.peaks.mz, "mz"), _array(item.peaks.intensities, "intensity"),
                        float(item.get("precursor_mz")), _charge(item.get("charge")),
                        float(item.get("retention_time") or 0.0), title=str(item.get("title") or ""))
    raise ValueError(f"cannot take a spectrum from {type(item).__name__}: expected speclink.Spectrum, a tuple "
                     "(mz, intensity, precursor_mz, charge), or a pymzml, pyteomics or matchms spectrum")


def _spectra(spectra):
    return [to_spectrum(item) for item in spectra]


def read(paths, charges=(), threads=0):
    """The spectra of spectrum files (MGF, mzML, mzXML, MS2, DTA, gzip too) as speclink reads
    them: MS2 spectra with a charge (or, with charges=(2, 3), one per charge given), named as
    the command names them."""
    if isinstance(paths, (str, _os.PathLike)):
        paths = [paths]
    return _speclink._read([str(p) for p in paths], list(charges), _threads(threads))


def write(path, spectra):
    """Writes spectra as MGF, or as mzML when the path ends in .mzML."""
    _speclink._write(str(path), _spectra(spectra))


def _params(params, **settings):
    chosen = Params() if params is None else Params.read(params) if isinstance(params, (str, _os.PathLike)) else params
    chosen = _copy(chosen)
    for name, value in settings.items():
        if value is not None:
            setattr(chosen, name, value)
    return chosen


def _copy(params):
    copy = Params()
    for name in ("threshold", "precursor_tol", "fragment_tol", "method", "peak_select_method", "whole_top_peak_num",
                 "part_top_peak_num", "part_top_peak_per_num", "lower_mass", "upper_mass", "cluster_masses_tol"):
        setattr(copy, name, getattr(params, name))
    return copy


def cluster(spectra, threshold=None, precursor_tol=None, fragment_tol=None, params=None, thresholds=(), threads=0):
    """Clusters spectra as speclink cluster does: by charge and precursor mass into precursor
    groups, each clustered by single linkage above the threshold.

    params: a Params or a parameter file for the base settings; threshold, precursor_tol
    ("20ppm", "0.05Da") and fragment_tol override it. thresholds: more thresholds clustered
    from the same scores (labels_at). Gives a ClusterResult."""
    chosen = _params(params, threshold=threshold, precursor_tol=precursor_tol, fragment_tol=fragment_tol)
    return _speclink._cluster(spectra, to_spectrum, chosen, _threads(threads), [float(t) for t in thresholds])


def modsearch(spectra, threshold=None, method="dot product mod", fragment_tol=None, lower_mass=None, upper_mass=None,
              params=None, keep_order=False, raw_scores=False, unimod="", offset_width=0.01, offset_tol=0.02,
              threads=0):
    """Searches modifications as speclink modsearch does: pairs whose precursor masses differ
    by lower_mass to upper_mass Da are scored with the difference as the shift. Gives a
    ModsearchResult: the pairs above the threshold and the mass-offset profile, named from
    Unimod (Debian's, or the file given)."""
    chosen = _params(params, threshold=threshold, method=method, fragment_tol=fragment_tol, lower_mass=lower_mass,
                     upper_mass=upper_mass)
    return _speclink._modsearch(_spectra(spectra), chosen, _threads(threads), bool(keep_order), bool(raw_scores),
                                str(unimod), float(offset_width), float(offset_tol))


def score(a, b, method="dot product", tol="0.5Da", shift=None, raw=False):
    """The similarity of two spectra by a method (name or number, as speclink score knows
    them), their peaks prepared as the engines prepare them (raw=True: as given). shift:
    in Da, by default the precursor mass difference a minus b."""
    return _speclink._score(to_spectrum(a), to_spectrum(b), str(method), str(tol), shift, bool(raw))


def select_peaks(mz, intensity, method=3, whole_top=50, part_top=5, part_width=100):
    """The peaks peak selection keeps (method 0 to 3, as the parameter file says), in
    ascending m/z, as two arrays."""
    return _speclink._select_peaks(_array(mz, "mz"), _array(intensity, "intensity"), int(method), int(whole_top),
                                   int(part_top), int(part_width))
