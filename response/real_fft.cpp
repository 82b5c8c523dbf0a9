#include "response/real_fft.h"

#include <fftw3.h>
#include <sys/mman.h>

#include <cstdint>
#include <mutex>
#include <new>

namespace quorvel {

namespace {

// FFTW's planner keeps global state: every plan is made and destroyed under this lock.
std::mutex& PlannerLock() {
  static std::mutex lock;
  return lock;
}

fftw_complex* AsFftw(std::complex<double>* p) {
  return reinterpret_cast<fftw_complex*>(p);
}

// Asks for huge pages on a buffer of a large transform: a fresh process then takes a few page
// faults for it instead of thousands (a tenth of a second for the whole analysis). Only advice:
// where the kernel takes none, nothing changes.
void AdviseHugePages(void* buffer, std::size_t bytes) {
  constexpr std::uintptr_t kPage = 4096;
  constexpr std::size_t kWorthIt = std::size_t{4} << 20;
  if (buffer == nullptr || bytes < kWorthIt) return;
  const std::uintptr_t start =
      (reinterpret_cast<std::uintptr_t>(buffer) + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(buffer) + bytes) & ~(kPage - 1);
  (void)madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

// FFTW's planner ends the program when one of its own allocations fails. Its tables for the
// two plans of a size take less than 20 bytes a point and a few hundred kB (measured: about 16.5
// bytes a point at a million points, 37 at 8192): that much is asked for and given back just
// before planning, so that a lack of memory is a std::bad_alloc here and never an abort there.
void ReservePlannerMemory(int size) {
  void* room = fftw_malloc(20 * static_cast<std::size_t>(size) + (std::size_t{1} << 20));
  if (room == nullptr) throw std::bad_alloc();
  fftw_free(room);
}

}  // namespace

CRealFft::CRealFft(int size) : m_size(size) {
  const std::lock_guard<std::mutex> guard(PlannerLock());
  m_time = fftw_alloc_real(static_cast<size_t>(m_size));
  m_spectrum =
      reinterpret_cast<std::complex<double>*>(fftw_alloc_complex(static_cast<size_t>(Bins())));
  if (m_time == nullptr || m_spectrum == nullptr) {
    fftw_free(m_time);
    fftw_free(m_spectrum);
    throw std::bad_alloc();
  }
  AdviseHugePages(m_time, sizeof(double) * static_cast<size_t>(m_size));
  AdviseHugePages(m_spectrum, sizeof(std::complex<double>) * static_cast<size_t>(Bins()));
  try {
    ReservePlannerMemory(m_size);
  } catch (const std::bad_alloc&) {
    fftw_free(m_time);
    fftw_free(m_spectrum);
    throw;
  }
  // FFTW_ESTIMATE leaves the buffers untouched while it plans; the inverse may overwrite its
  // input (the spectrum), which is never needed after it.
  m_forward = fftw_plan_dft_r2c_1d(m_size, m_time, AsFftw(m_spectrum), FFTW_ESTIMATE);
  m_inverse = fftw_plan_dft_c2r_1d(m_size, AsFftw(m_spectrum), m_time, FFTW_ESTIMATE);
  if (m_forward == nullptr || m_inverse == nullptr) {
    if (m_forward != nullptr) fftw_destroy_plan(m_forward);
    if (m_inverse != nullptr) fftw_destroy_plan(m_inverse);
    fftw_free(m_time);
    fftw_free(m_spectrum);
    throw std::bad_alloc();
  }
}

CRealFft::~CRealFft() {
  const std::lock_guard<std::mutex> guard(PlannerLock());
  fftw_destroy_plan(m_forward);
  fftw_destroy_plan(m_inverse);
  fftw_free(m_time);
  fftw_free(m_spectrum);
}

void CRealFft::Forward() {
  fftw_execute(m_forward);
}

void CRealFft::Forward(std::complex<double>* spectrum) {
  // Another spectrum buffer from fftw_alloc_complex has the alignment the plan was made for.
  fftw_execute_dft_r2c(m_forward, m_time, AsFftw(spectrum));
}

void CRealFft::Inverse() {
  fftw_execute(m_inverse);
}

std::complex<double>* CRealFft::AllocateSpectrum() const {
  auto* spectrum =
      reinterpret_cast<std::complex<double>*>(fftw_alloc_complex(static_cast<size_t>(Bins())));
  if (spectrum == nullptr) throw std::bad_alloc();
  AdviseHugePages(spectrum, sizeof(std::complex<double>) * static_cast<size_t>(Bins()));
  return spectrum;
}

void CRealFft::FreeSpectrum(std::complex<double>* spectrum) {
  fftw_free(spectrum);
}

int CRealFft::SmoothSize(std::size_t n) {
  std::size_t best = 0;
  for (std::size_t p5 = 1; best == 0 || p5 < best; p5 *= 5) {
    for (std::size_t p3 = p5; best == 0 || p3 < best; p3 *= 3) {
      std::size_t size = p3 * 2;
      while (size < n) size *= 2;
      if (best == 0 || size < best) best = size;
      if (p3 >= n) break;
    }
    if (p5 >= n) break;
  }
  return static_cast<int>(best);
}

}  // namespace quorvel
