#include "runtime/errors.h"

namespace dw {

std::string IOErrorMessage(int code) {
  switch (code) {
    case 2: return "Fichier introuvable";
    case 3: return "Nom de fichier incorrect";
    case 4: return "Trop de fichiers ouverts";
    case 5: return "Accès au fichier refusé";
    case 100: return "Lecture au-delà de la fin de fichier";
    case 101: return "Disque plein";
    case 106: return "Saisie numérique incorrecte";
    default: return "Erreur E/S " + std::to_string(code);
  }
}

EInOutError::EInOutError(int code, int systemError, std::string fileName)
    : RuntimeError(IOErrorMessage(code)),
      code_(code),
      systemError_(systemError),
      fileName_(std::move(fileName)) {}

EInvalidOp::EInvalidOp() : EMathError("Opération en virgule flottante incorrecte") {}
EZeroDivide::EZeroDivide() : EMathError("Division par zéro en virgule flottante") {}
EOverflow::EOverflow() : EMathError("Débordement en virgule flottante") {}

}  // namespace dw
