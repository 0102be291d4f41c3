#pragma once

#include "platform/speech/PocketsphinxDecoder.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace zn::speech {

// The recogniser library trusts the sizes written inside its model files and
// reads past the end of a file that was cut short. These checks look at the
// headers and the sizes they promise before the library sees a file, so a
// damaged install is reported in plain words instead.
//
// Each returns nothing when the file looks whole, else what is wrong.
std::optional<QString> checkLanguageModel(QByteArrayView bytes);
// A Sphinx-3 binary parameter file: "means" and "variances" (Gaussian
// densities) or "transition_matrices".
enum class ParameterFile { Gaussians, TransitionMatrices };
std::optional<QString> checkParameterFile(QByteArrayView bytes, ParameterFile kind);

// Every file of the model, in the order the library loads them.
std::optional<QString> checkModelFiles(const ModelPaths &paths);

} // namespace zn::speech
