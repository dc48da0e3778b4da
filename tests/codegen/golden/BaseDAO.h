// Create Time:  <TIME>

#pragma once
#include "DAO.h"

namespace MeridianSpace
{
	/// »ù´¡Ä£¿é
	class BaseDAO :	public DAO
	{
	public:

		ARX BaseDAO();
		virtual ARX ~BaseDAO();

	};
}
