// UIActivityIndicatorView: the spinner shown over a view while work goes on.
//
// Mirrors: -initWithActivityIndicatorStyle:, -activityIndicatorViewStyle, -startAnimating,
// -stopAnimating, -isAnimating, -hidesWhenStopped / -setHidesWhenStopped:. A UIView.
// Faithful: it starts stopped; hidesWhenStopped starts YES; a stopped indicator that hides when
// stopped is hidden. Simplified: nothing spins.
//
// Journal: starting records "indicator" {state: "start"}, stopping {state: "stop"}; a start of
// a spinning indicator or a stop of a stopped one records nothing.
#pragma once

#include <UIKit/UIView.h>

typedef NSInteger UIActivityIndicatorViewStyle;
constexpr UIActivityIndicatorViewStyle UIActivityIndicatorViewStyleWhiteLarge = 0;
constexpr UIActivityIndicatorViewStyle UIActivityIndicatorViewStyleWhite = 1;
constexpr UIActivityIndicatorViewStyle UIActivityIndicatorViewStyleGray = 2;
