#pragma once

#include <complex>
#include <cstddef>

struct fftw_plan_s;  // FFTW's plan (fftw_plan is a pointer to it)

namespace quorvel {

// One real-to-complex transform size planned with FFTW (FFTW_ESTIMATE: planning takes no
// measurements), with its own aligned buffers: a time buffer of Size() doubles and a spectrum
// of Size() / 2 + 1 bins. The transforms are unnormalised: Inverse(Forward(x)) is Size() * x.
//
// FFTW's planner is not reentrant: plans are made and destroyed under one process-wide lock, so
// analyses may run on several threads at once. Executing a plan takes no lock.
class CRealFft {
 public:
  explicit CRealFft(int size);
  ~CRealFft();
  CRealFft(const CRealFft&) = delete;
  CRealFft& operator=(const CRealFft&) = delete;

  [[nodiscard]] int Size() const { return m_size; }
  [[nodiscard]] int Bins() const { return m_size / 2 + 1; }
  double* Time() { return m_time; }
  std::complex<double>* Spectrum() { return m_spectrum; }

  // Time() -> Spectrum().
  void Forward();
  // Time() -> spectrum, a buffer of Bins() bins allocated by AllocateSpectrum.
  void Forward(std::complex<double>* spectrum);
  // Spectrum() -> Time(); overwrites Spectrum().
  void Inverse();

  // A buffer of Bins() bins with the alignment FFTW asks for; free it with FreeSpectrum.
  [[nodiscard]] std::complex<double>* AllocateSpectrum() const;
  static void FreeSpectrum(std::complex<double>* spectrum);

  // The smallest size of the form 2^a 3^b 5^c (a >= 1) that is at least n: FFTW is fastest on
  // such sizes, and the recording's length need not be padded to a power of two.
  [[nodiscard]] static int SmoothSize(std::size_t n);

 private:
  int m_size;
  double* m_time = nullptr;
  std::complex<double>* m_spectrum = nullptr;
  fftw_plan_s* m_forward = nullptr;
  fftw_plan_s* m_inverse = nullptr;
};

}  // namespace quorvel
