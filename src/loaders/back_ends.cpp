#include "loaders/back_ends.h"

#include "loaders/bsl430.h"
#include "loaders/bsl54xx430.h"
#include "loaders/wince_prog.h"
#include "loaders/emf_loader.h"
#include "loaders/term_prog.h"

namespace loaders {

void AddProgramBackEnds(LoaderRegistry& registry) {
  registry.Add(LoaderKind::Bsl430, &Make<T_BSL430>);
  registry.Add(LoaderKind::Bsl54xx430, &Make<T_BSL_54XX_430>);
  registry.Add(LoaderKind::WinCE, &Make<TWinCEProg>);
  registry.Add(LoaderKind::Emf, &Make<T_EMFLoader>);
  registry.AddBasicLoader(&StartTermProg);
}

}  // namespace loaders
