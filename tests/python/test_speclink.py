"""The Python module against the command: clustering and modification search of spectra held
in Python give the labels and the byte-identical files of speclink cluster and modsearch on
the same spectra; pymzml's spectra go straight in; bad input raises ValueError."""
import os
import pathlib
import subprocess

import numpy as np
import pytest

import speclink

SPECLINK = os.environ.get("SPECLINK", "speclink")
UNIMOD = pathlib.Path(__file__).resolve().parents[1] / "cli" / "golden" / "unimod-small.xml"


@pytest.fixture(scope="module")
def simulated(tmp_path_factory):
    """2000 simulated spectra as an MGF file and an mzML file of the same spectra."""
    directory = tmp_path_factory.mktemp("simulated")
    mgf = directory / "sim.mgf"
    subprocess.run([SPECLINK, "simulate", "-n", "2000", "--seed", "5", "-o", str(mgf), "--truth",
                    str(directory / "truth.tsv")], check=True, capture_output=True)
    mzml = directory / "sim.mzML"
    speclink.write(mzml, speclink.read(mgf))
    return mgf, mzml


def command(directory, *arguments):
    subprocess.run([SPECLINK, *arguments, "-o", str(directory), "--threads", "2"], check=True, capture_output=True)
    return directory


def table_labels(table):
    """Cluster numbers of clusters.tsv, in the order of the records' names."""
    rows = [line.split("\t") for line in table.read_text().splitlines()[1:]]
    return {row[10]: int(row[0]) for row in rows}


def test_cluster_gives_the_labels_and_files_of_the_command(simulated, tmp_path):
    mgf, _ = simulated
    out = command(tmp_path / "command", "cluster", str(mgf), "--thresholds", "0.8")
    spectra = speclink.read(mgf)
    result = speclink.cluster(spectra, thresholds=[0.8], threads=2)
    labels = table_labels(out / "clusters.tsv")
    assert [labels[s.name] for s in spectra] == result.labels.tolist()
    assert result.labels.dtype == np.int64 and len(result.labels) == len(spectra)
    result.write(tmp_path / "python")
    for name in ("clusters.csv", "clusters.tsv", "consensus.mgf"):
        assert (tmp_path / "python" / name).read_bytes() == (out / name).read_bytes(), name
    assert len(result.consensus) == (out / "consensus.mgf").read_text().count("BEGIN IONS")
    assert sorted(set(result.representatives.tolist())) == sorted(result.representatives.tolist())


def test_cluster_from_numpy_arrays_equals_reading_the_file(simulated):
    mgf, _ = simulated
    read = speclink.read(mgf)
    arrays = [(s.mz, s.intensity, s.precursor_mz, s.charge, s.retention_time) for s in read]
    assert speclink.cluster(arrays).labels.tolist() == speclink.cluster(read).labels.tolist()


def test_modsearch_gives_the_pairs_and_files_of_the_command(simulated, tmp_path):
    mgf, _ = simulated
    out = command(tmp_path / "command", "modsearch", str(mgf), "--unimod", str(UNIMOD), "--raw-scores")
    spectra = speclink.read(mgf)
    result = speclink.modsearch(spectra, unimod=UNIMOD, raw_scores=True, threads=2)
    lines = (out / "pairs.csv").read_text().splitlines()
    assert len(result.pairs) == len(lines) > 50
    for pair, line in zip(result.pairs, lines):
        fields = line.split(",")
        assert (spectra[pair["first"]].name, spectra[pair["second"]].name) == (fields[0], fields[2])
        assert f"{pair['score']:.6f}" == fields[5]
    result.write(tmp_path / "python")
    for name in ("pairs.csv", "score.txt", "temp.temp", "score_histogram.tsv", "offsets.tsv", "offsets.svg"):
        assert (tmp_path / "python" / name).read_bytes() == (out / name).read_bytes(), name
    names = {offset["name"] for offset in result.offsets[:3]}
    assert names == {"Oxidation", "Phospho", "Acetyl"}


def test_pymzml_spectra_go_straight_to_cluster(simulated):
    pymzml = pytest.importorskip("pymzml")
    _, mzml = simulated
    spectra = [spectrum for spectrum in pymzml.run.Reader(str(mzml)) if spectrum.ms_level == 2]
    assert len(spectra) == 2000
    from_pymzml = speclink.cluster(spectra)
    # pymzml writes its m/z in 64-bit floats as read: the clusters of speclink's own reading.
    assert from_pymzml.labels.tolist() == speclink.cluster(speclink.read(mzml)).labels.tolist()


def test_spectra_of_other_libraries_by_their_attributes():
    mz, intensity = np.array([100.0, 200.0, 300.0]), np.array([1.0, 4.0, 9.0])
    pyteomics_mgf = {"m/z array": mz, "intensity array": intensity,
                     "params": {"pepmass": (500.25, None), "charge": [2], "rtinseconds": 12.5, "title": "t1"}}

    class Peaks:
        def __init__(self):
            self.mz, self.intensities = mz, intensity

    class MatchmsSpectrum:
        peaks = Peaks()

        def get(self, key):
            return {"precursor_mz": 500.25, "charge": 2, "retention_time": 12.5, "title": "t1"}.get(key)

    for item in (pyteomics_mgf, MatchmsSpectrum(), (mz, intensity, 500.25, 2, 12.5)):
        spectrum = speclink.to_spectrum(item)
        assert (spectrum.precursor_mz, spectrum.charge, spectrum.retention_time) == (500.25, 2, 12.5)
        assert spectrum.mz.tolist() == mz.tolist() and spectrum.intensity.tolist() == intensity.tolist()
    assert speclink.score(pyteomics_mgf, MatchmsSpectrum()) == pytest.approx(1.0)


def test_score_select_peaks_and_params(tmp_path):
    a = speclink.Spectrum(np.array([100.0, 200.0, 300.0]), np.array([1.0, 4.0, 9.0]), 500.0, 2)
    b = speclink.Spectrum(np.array([100.2, 250.0, 300.1]), np.array([1.0, 4.0, 9.0]), 500.0, 2)
    assert speclink.score(a, a, method="dot product") == pytest.approx(1.0)
    assert 0.0 < speclink.score(a, b, method=1, tol="0.5Da") < 1.0
    assert speclink.score(a, b, method="dot product", tol="10ppm") == 0.0
    mz, intensity = speclink.select_peaks(np.arange(100.0, 400.0), np.arange(300.0), method=1, part_top=2)
    # Windows of 100 Th from the first peak of each: the two most intense of each.
    assert mz.tolist() == [199.0, 200.0, 300.0, 301.0, 398.0, 399.0]
    params = speclink.Params()
    params.threshold, params.precursor_tol, params.method = 0.7, "0.05Da", "dot product mod"
    params.write(tmp_path / "run.params")
    assert speclink.Params.read(tmp_path / "run.params") == params


@pytest.mark.parametrize("make, message", [
    (lambda: speclink.Spectrum(np.array([100.0, np.nan]), np.array([1.0, 2.0]), 500.0, 2), "m/z must be"),
    (lambda: speclink.Spectrum(np.array([100.0]), np.array([1.0, 2.0]), 500.0, 2), "differ in length"),
    (lambda: speclink.Spectrum(np.zeros((2, 2)), np.zeros(2), 500.0, 2), "one-dimensional"),
    (lambda: speclink.cluster([(np.array([100.0]), np.array([1.0]), 500.0, -2)]), "charge must be 1 or more"),
    (lambda: speclink.cluster([(np.array([100.0]), np.array([1.0]), float("nan"), 2)]), "precursor_mz"),
    (lambda: speclink.cluster([], precursor_tol="20 parsecs"), "no known unit"),
    (lambda: speclink.cluster([], threshold=1.5), "threshold"),
    (lambda: speclink.modsearch([], method="nope"), "unknown similarity method"),
    (lambda: speclink.cluster([object()]), "cannot take a spectrum from object"),
    (lambda: speclink.read("/nonexistent/file.mgf"), "nonexistent"),
])
def test_bad_input_raises_value_error(make, message):
    with pytest.raises((ValueError, OSError), match=message):
        make()


def test_the_example_script_runs(tmp_path):
    example = pathlib.Path(__file__).resolve().parents[2] / "examples" / "python_cluster.py"
    shown = subprocess.run(["/usr/bin/python3", str(example), str(tmp_path / "out")], check=True, capture_output=True,
                           text=True, env={**os.environ}).stdout
    assert "400 spectra in " in shown and (tmp_path / "out" / "clusters.tsv").exists()
