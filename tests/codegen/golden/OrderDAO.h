// Create Time:  <TIME>

#pragma once
#include "DAO.h"
#include "BaseDAO.h"

namespace MeridianSpace
{
	/// ¶©µ¥
	class OrderDAO :	public BaseDAO
	{
	public:
		 string 		_title;		///<Title
		 int 		_qty;		///<Qty
		 double 		_price;		///<Price

		ARX OrderDAO();
		virtual ARX ~OrderDAO();


		ARX virtual Mapper* createMapper();
		ARX static DAO* createObject();


		ARX ResultMsg saveData( double * pdata,  int dataSize);
		ARX ResultMsg getData( double *& pdata,  int& dataSize);


		ARX ResultMsg savePhoto( char * pphoto,  int dataSize);
		ARX ResultMsg getPhoto( char *& pphoto,  int& dataSize);


		static ARX ResultMsg FindAll(list<OrderDAO*> & pnewlist);

		static ARX ResultMsg FindByID(int id, OrderDAO * &pnewdao);

		static ResultMsg ARX FindByTitle( string  title, list<OrderDAO*>&newlist);

		static ResultMsg ARX FindByQty( int  qty, list<OrderDAO*>&newlist);

		static ResultMsg  ARX FindByQtyAndTitle( int mqty, string mtitle, list<OrderDAO*>&newlist);

		ResultMsg  DelByQty( int mqty, int commitType = COMMIT_T_IMMEDIATELY);
	};
}
